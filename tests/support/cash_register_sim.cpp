#include "cash_register_sim.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "test_support.h"

namespace {

constexpr char kCarriageReturn = '\r';
constexpr std::string_view kProvHead = "PROV00|00|";

bool EndsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool CashRegisterSim::Frame::LetterRight() const {
  return letter == CheckLetter(text);
}

CashRegisterSim::Frame::Kind CashRegisterSim::Frame::KindOf(const std::string& posNumber) const {
  // A reply: the POS number, the three characters echoed, then ACK or NACK.
  if (text.rfind(posNumber, 0) == 0) {
    const std::string rest = text.substr(posNumber.size());
    if (rest.size() == 3 + 3 && EndsWith(rest, "ACK")) return Kind::Ack;
    if (rest.size() == 3 + 4 && EndsWith(rest, "NACK")) return Kind::Nack;
  }
  // The terminal's own messages: three digits, then the message.
  if (text.size() > 3 && text.compare(3, 4, "PROM") == 0 && EndsWith(text, "|")) return Kind::Prom;
  if (text.size() > 3 && text.compare(3, kProvHead.size(), kProvHead) == 0) return Kind::Prov;
  return Kind::Other;
}

std::string CashRegisterSim::Frame::PacketNumber(const std::string& posNumber) const {
  switch (KindOf(posNumber)) {
    case Kind::Ack:
    case Kind::Nack:
      return text.substr(posNumber.size(), 3);
    case Kind::Prom:
    case Kind::Prov:
      return text.substr(0, 3);
    case Kind::Other:
      break;
  }
  return {};
}

std::string CashRegisterSim::Frame::Amount() const {
  if (text.size() > 8 && text.compare(3, 4, "PROM") == 0 && EndsWith(text, "|")) {
    return text.substr(7, text.size() - 8);
  }
  if (text.size() >= 3 + kProvHead.size() && text.compare(3, kProvHead.size(), kProvHead) == 0) {
    return text.substr(3 + kProvHead.size());
  }
  return {};
}

CashRegisterSim::CashRegisterSim(PtyPair& pty) : pty_(pty) {}

char CashRegisterSim::CheckLetter(std::string_view text) {
  unsigned sum = 0;
  for (const char ch : text) sum += static_cast<uint8_t>(ch);
  return static_cast<char>('A' + sum % 26);
}

std::string CashRegisterSim::WithLetter(std::string_view text) {
  std::string out(text);
  out.push_back(CheckLetter(text));
  return out;
}

std::string CashRegisterSim::Framed(std::string_view text) {
  return WithLetter(text) + kCarriageReturn;
}

std::string CashRegisterSim::Number(int n) {
  const int cycled = (n - 1) % 999 + 1;
  std::string digits = std::to_string(cycled);
  return std::string(3 - digits.size(), '0') + digits;
}

std::string CashRegisterSim::Sttx(const std::string& no, const std::string& cashRegister,
                                  const std::string& transaction) {
  return no + "STTX" + cashRegister + "|" + transaction;
}

std::string CashRegisterSim::Item(const std::string& no, const std::string& code,
                                  const std::string& barcode, const std::string& quantity,
                                  const std::string& total) {
  return no + "ITEM" + code + "|" + barcode + "|" + quantity + "|" + total;
}

std::string CashRegisterSim::Entx(const std::string& no, const std::string& packets,
                                  const std::string& quantityTotal, const std::string& total) {
  return no + "ENTX" + packets + "|" + quantityTotal + "|" + total;
}

std::string CashRegisterSim::Odti(const std::string& no, const std::string& type,
                                  const std::string& amount) {
  return no + "ODTI" + type + "|" + amount;
}

std::string CashRegisterSim::Isip(const std::string& no, const std::string& transaction) {
  return no + "ISIP" + transaction;
}

void CashRegisterSim::SetPosNumber(const std::string& typed) {
  posNumber_ = typed.size() >= 3 ? typed : std::string(3 - typed.size(), '0') + typed;
}

std::string CashRegisterSim::NextNumber() {
  return Number(nextNumber_++);
}

void CashRegisterSim::Send(std::string_view text) {
  SendRaw(Framed(text));
}

void CashRegisterSim::SendWithLetter(std::string_view text, char letter) {
  std::string bytes(text);
  bytes.push_back(letter);
  bytes.push_back(kCarriageReturn);
  SendRaw(bytes);
}

void CashRegisterSim::SendRaw(std::string_view bytes) {
  pty_.Write(std::string(bytes));
}

void CashRegisterSim::Drain() {
  char buf[4096];
  for (;;) {
    const ssize_t n = read(pty_.MasterFd(), buf, sizeof buf);
    if (n > 0) {
      unread_.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // EAGAIN: nothing more now (the master is non-blocking)
  }
}

std::optional<CashRegisterSim::Frame> CashRegisterSim::ReadFrame(
    std::chrono::milliseconds deadline) {
  const bool whole = WaitUntil(
      [this] {
        Drain();
        return unread_.find(kCarriageReturn) != std::string::npos;
      },
      deadline);
  if (!whole) return std::nullopt;
  const size_t end = unread_.find(kCarriageReturn);
  Frame frame;
  frame.raw = unread_.substr(0, end + 1);
  unread_.erase(0, end + 1);
  if (end > 0) {
    frame.text = frame.raw.substr(0, end - 1);
    frame.letter = frame.raw[end - 1];
  }
  return frame;
}

std::string CashRegisterSim::ReadRaw(std::chrono::milliseconds deadline) {
  if (std::optional<Frame> frame = ReadFrame(deadline)) return frame->raw;
  return std::exchange(unread_, {});
}

bool CashRegisterSim::Quiet(std::chrono::milliseconds quiet) {
  const size_t before = unread_.size();
  WaitUntil(
      [this, before] {
        Drain();
        return unread_.size() > before;
      },
      quiet);
  return unread_.size() == before;
}
