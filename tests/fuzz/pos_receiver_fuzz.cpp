// Feeds the POS receiver an arbitrary byte stream with arbitrary gaps between the bytes and
// timer ticks in between, and aborts when a sent frame is malformed, a byte or tick brings more
// than one reply, a reply echoes the wrong packet, or the terminal's state leaves its range.
//
// Input: pairs (selector, byte). Selector bits 0-2 pick the gap before the byte, bit 3 opens or
// closes port 4 first, bits 4-5 pick the port (1 to 4), bit 6 with gap selector 0 sends the
// byte 512 times in a row (1 ms apart), bit 7 fires a TimerQueue tick first when the timer runs.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "pos/packet_format.h"
#include "pos/pos_link.h"
#include "pos/pos_terminal.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const std::string kPosNo = "001";

// Records frames; checks each one as it goes out. Main thread only (the fuzzer's).
class FuzzLink : public PosLink {
 public:
  std::vector<std::string> Frames;  // texts without letter and CR
  size_t SentLogLines = 0;
  bool Panel = false;
  bool Timer = false;
  bool Port4Open = true;

  bool PortPresent(int port) override {
    return (port >= 1 && port <= 3) || (port == 4 && Port4Open);
  }
  void SendBytes(int port, const std::vector<uint8_t>& bytes) override {
    Check(PortPresent(port));
    Check(bytes.size() >= 2 && bytes.back() == 13);
    const std::string text(bytes.begin(), bytes.end() - 2);
    Check(text.find('\r') == std::string::npos);
    Check(bytes[bytes.size() - 2] == PacketChecksum(text));
    Frames.push_back(text);
  }
  void AddLogLine(int port, const std::string& line) override {
    Check(port >= 1 && port <= 4);
    if (line.rfind("G\xF6nderilen bilgi: ", 0) == 0) ++SentLogLines;
  }
  std::string PosNumberText() override { return kPosNo; }
  bool TransactionPanelVisible() override { return Panel; }
  void SetTransactionPanelVisible(bool visible) override { Panel = visible; }
  void SetTransactionLabels(const std::string&, const std::string&) override {}
  bool QueueTimerEnabled() override { return Timer; }
  void SetQueueTimerEnabled(bool enabled) override { Timer = enabled; }
  void SetQueueTimerInterval(int32_t ms) override { Check(ms == 2000); }
};

bool IsReply(const std::string& text) {
  return text.size() >= 3 && text.compare(text.size() - 3, 3, "ACK") == 0;
}

void CheckState(const PosTerminal& terminal, const FuzzLink& link) {
  Check(terminal.RxBuffer.size() <= kRxBufferLimit);
  Check(terminal.PacketCounter >= 0 && terminal.PacketCounter <= 998);
  Check(terminal.PendingPacketNo >= 0 && terminal.PendingPacketNo <= 999);
  Check(link.SentLogLines == link.Frames.size());
}

// One byte as the window hands it over, and what may go out because of it.
void Deliver(PosTerminal& terminal, FuzzLink& link, int port, uint8_t value, uint32_t lastRx,
             uint32_t now) {
  const bool collecting = !terminal.RxBuffer.empty();
  const std::string numberText = terminal.RxBuffer.substr(0, 3);
  const size_t before = link.Frames.size();
  terminal.PosByteReceived(port, value, lastRx, now);

  size_t replies = 0, messages = 0;
  for (size_t f = before; f < link.Frames.size(); ++f) {
    const std::string& text = link.Frames[f];
    if (IsReply(text)) {
      ++replies;
      // A reply answers the packet just handled: POS number, its number text, the word.
      Check(collecting && terminal.RxBuffer.size() <= 1);
      Check(text.compare(0, kPosNo.size(), kPosNo) == 0);
      Check(text.compare(kPosNo.size(), 3, numberText) == 0);
    } else {
      ++messages;
      Check(text.size() > 7 &&
            (text.compare(3, 4, "PROM") == 0 || text.compare(3, 4, "PROV") == 0));
    }
  }
  Check(replies <= 1 && messages <= 1);
  CheckState(terminal, link);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const uint32_t kGaps[8] = {0, 5, 1500, 1501, 60000, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
  constexpr int kFloodLength = 512;
  FuzzLink link;
  PosTerminal terminal(link);
  uint32_t lastRx = 0xFFFFF000u;  // near the wrap of the tick counter

  for (size_t i = 0; i + 1 < size; i += 2) {
    const uint8_t selector = data[i];
    const uint8_t value = data[i + 1];

    if ((selector & 0x08) != 0) link.Port4Open = !link.Port4Open;
    if ((selector & 0x80) != 0 && link.Timer) {
      const size_t before = link.Frames.size();
      terminal.TimerQueueTimer();
      Check(link.Frames.size() <= before + 1);
      for (size_t f = before; f < link.Frames.size(); ++f) Check(!IsReply(link.Frames[f]));
      CheckState(terminal, link);
    }

    const int port = 1 + ((selector >> 4) & 3);
    const int count = (selector & 0x47) == 0x40 ? kFloodLength : 1;
    uint32_t gap = kGaps[selector & 7];
    for (int n = 0; n < count; ++n) {
      const uint32_t now = lastRx + gap;
      Deliver(terminal, link, port, value, lastRx, now);
      lastRx = now;
      gap = 1;
    }
  }
  return 0;
}
