#include "pos/pos_terminal.h"

#include <optional>
#include <string>

#include "platform/cp1254.h"
#include "platform/int_conv.h"
#include "pos/packet_format.h"
#include "pos/pos_texts.h"

namespace {

constexpr uint8_t kCarriageReturn = 13;
constexpr uint32_t kPacketGapMs = 1500;

// Where the command and the data part of a packet start (0-based).
constexpr size_t kCommandStart = 3;
constexpr size_t kCommandLength = 4;
constexpr size_t kDataStart = 7;

bool Converts(const std::string& field) {
  return platform::TryStrToInt(field).has_value();
}

PacketVerdict Reject(PosText message) {
  PacketVerdict verdict;
  verdict.Message = PosMessage(message);
  return verdict;
}

PacketVerdict Accept() {
  PacketVerdict verdict;
  verdict.Accepted = true;
  verdict.Message = PosMessage(PosText::Accepted);
  return verdict;
}

PacketVerdict CheckItem(const std::vector<std::string>& fields) {
  if (fields.size() != 4) return Reject(PosText::WrongParameters);
  if (fields[0] != "01" && fields[0] != "02") return Reject(PosText::ItemOperationCode);
  if (fields[1].empty()) return Reject(PosText::ItemNoBarcode);
  if (!Converts(fields[2])) return Reject(PosText::ItemQuantity);
  if (!Converts(fields[3])) return Reject(PosText::ItemTotal);
  return Accept();
}

PacketVerdict CheckEntx(const std::vector<std::string>& fields) {
  if (fields.size() != 3) return Reject(PosText::WrongParameters);
  if (!Converts(fields[0])) return Reject(PosText::EntxPacketCount);
  if (!Converts(fields[1])) return Reject(PosText::EntxQuantityTotal);
  const std::optional<int32_t> total = platform::TryStrToInt(fields[2]);
  if (!total) return Reject(PosText::EntxTransactionTotal);
  PacketVerdict verdict = Accept();
  verdict.TransactionTotal = *total;
  return verdict;
}

PacketVerdict CheckPron(const std::vector<std::string>& fields) {
  if (fields.size() != 1) return Reject(PosText::WrongParameters);
  if (!Converts(fields[0])) return Reject(PosText::PronDiscountedAmount);
  return Accept();
}

PacketVerdict CheckOdti(const std::vector<std::string>& fields) {
  if (fields.size() != 2) return Reject(PosText::WrongParameters);
  const std::optional<int32_t> type = platform::TryStrToInt(fields[0]);
  if (!type) return Reject(PosText::OdtiPaymentType);
  if (*type < 1) return Reject(PosText::OdtiPaymentTypeUndefined);
  const std::optional<int32_t> amount = platform::TryStrToInt(fields[1]);
  if (!amount) return Reject(PosText::OdtiPaymentAmount);
  PacketVerdict verdict = Accept();
  verdict.PaymentType = *type;
  verdict.PaymentAmount = *amount;
  return verdict;
}

PacketVerdict CheckIsip(const std::vector<std::string>& fields, int32_t transactionNo) {
  if (fields.size() != 1) return Reject(PosText::WrongParameters);
  const std::optional<int32_t> number = platform::TryStrToInt(fields[0]);
  if (!number) return Reject(PosText::IsipSequenceNumber);
  if (*number != transactionNo) return Reject(PosText::IsipOtherTransaction);
  return Accept();
}

}  // namespace

bool IsKnownCommand(std::string_view command) {
  return command == "STTX" || command == "ITEM" || command == "ENTX" || command == "PRON" ||
         command == "ODTI" || command == "ISIP" || command == "NACK" || command == "+ACK";
}

std::vector<std::string> SplitPacketFields(std::string_view packet) {
  std::string_view data;
  if (packet.size() > kDataStart + 1)
    data = packet.substr(kDataStart, packet.size() - kDataStart - 1);
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t bar = data.find('|', start);
    if (bar == std::string_view::npos) break;
    fields.emplace_back(data.substr(start, bar - start));
    start = bar + 1;
  }
  fields.emplace_back(data.substr(start));
  return fields;
}

void PosTerminal::SendPacket(int port, std::string_view text) {
  if (!link_.PortPresent(port)) return;
  const std::vector<uint8_t> frame = FramePacket(text);
  link_.SendBytes(port, frame);
  std::string line = PosMessage(PosText::SentPrefix);
  line.append(text);
  line.push_back(static_cast<char>(frame[frame.size() - 2]));
  link_.AddLogLine(port, line);
}

void PosTerminal::SendAckNack(bool ack, int port, std::string_view packetNumberText) {
  std::string reply = PadLeftZeros(link_.PosNumberText(), 3);
  reply.append(packetNumberText);
  reply.append(ack ? "ACK" : "NACK");
  SendPacket(port, reply);
}

void PosTerminal::PosByteReceived(int port, uint8_t value, uint32_t lastRxTick, uint32_t now) {
  const bool late = static_cast<uint32_t>(now - lastRxTick) > kPacketGapMs;
  const bool endsPacket = value == kCarriageReturn || late || RxBuffer.size() >= kRxBufferLimit;
  if (!endsPacket || RxBuffer.empty()) {
    // A carriage return with nothing collected carries no packet and is not kept.
    if (value != kCarriageReturn) RxBuffer.push_back(static_cast<char>(value));
    return;
  }
  // The buffer is emptied even when the handling throws, so no packet is handled twice.
  struct ClearOnExit {
    std::string& buffer;
    ~ClearOnExit() { buffer.clear(); }
  };
  {
    ClearOnExit clear{RxBuffer};
    HandlePacket(port);
  }
  // A late byte, or one beyond the bound, begins the next packet; the ending CR is not kept.
  if (value != kCarriageReturn) RxBuffer.push_back(static_cast<char>(value));
}

void PosTerminal::HandlePacket(int port) {
  // The packet as received, check letter included, and the letter its text calls for.
  const std::string received = RxBuffer;
  link_.AddLogLine(port, received);
  const int32_t expected = PacketChecksum(
      std::string_view(received).substr(0, received.empty() ? 0 : received.size() - 1));

  // The register's three-letter "ACK" is read as the command "+ACK".
  std::string packet = received;
  if (packet.size() >= kCommandStart + 3 &&
      platform::UpperCase1254(std::string_view(packet).substr(kCommandStart, 3)) == "ACK") {
    packet.replace(kCommandStart, 3, "+ACK");
  }
  if (packet.size() <= kDataStart) {
    link_.AddLogLine(port, PosMessage(PosText::NoPacketNumber));
    return;
  }

  // From the packet number on, any failure (a failed reply included) ends the handling with
  // the same line and no further reply.
  try {
    const std::string numberText = packet.substr(0, kCommandStart);
    if (!platform::TryStrToInt(numberText)) {
      link_.AddLogLine(port, PosMessage(PosText::NoPacketNumber));
      return;
    }
    const std::string command =
        platform::UpperCase1254(std::string_view(packet).substr(kCommandStart, kCommandLength));
    if (!IsKnownCommand(command)) {
      link_.AddLogLine(port, PosMessage(PosText::UnknownMessage));
      SendAckNack(false, port, numberText);
      return;
    }
    if (static_cast<uint8_t>(packet.back()) != expected) {
      link_.AddLogLine(port, PosMessage(PosText::WrongCheckLetter));
      SendAckNack(false, port, numberText);
      return;
    }

    // The command's own checks; acknowledgements are never answered.
    const PacketVerdict verdict = ValidatePacket(packet, command);
    link_.AddLogLine(port, verdict.Message);
    if (!verdict.Accepted) {
      SendAckNack(false, port, numberText);
      return;
    }
    if (command != "+ACK" && command != "NACK") SendAckNack(true, port, numberText);

    // The prompt and the provision follow their ACK.
    if (command == "ENTX") {
      ArmPendingMessage(port, "PROM" + std::to_string(verdict.TransactionTotal) + "|");
    } else if (command == "ODTI" && verdict.PaymentType == 1) {
      ArmPendingMessage(port, "PROV00|00|" + std::to_string(verdict.PaymentAmount));
    }
  } catch (...) {
    link_.AddLogLine(port, PosMessage(PosText::NoPacketNumber));
  }
}

PacketVerdict PosTerminal::ValidatePacket(std::string_view packet, std::string_view command) {
  PacketVerdict verdict = Reject(PosText::Accepted);
  const std::vector<std::string> fields = SplitPacketFields(packet);
  const bool open = link_.TransactionPanelVisible();

  if (command == "STTX") {
    if (open) return Reject(PosText::TransactionStillOpen);
    if (fields.size() != 2) return Reject(PosText::WrongParameters);
    const std::optional<int32_t> cashRegister = platform::TryStrToInt(fields[0]);
    const std::optional<int32_t> transaction = platform::TryStrToInt(fields[1]);
    if (!cashRegister || !transaction) return Reject(PosText::SttxUnreadable);
    CashRegisterNo = *cashRegister;
    TransactionNo = *transaction;
    link_.SetTransactionPanelVisible(true);
    link_.SetTransactionLabels(PosMessage(PosText::CashRegisterLabel) + fields[0],
                               PosMessage(PosText::TransactionLabel) + fields[1]);
    return Accept();
  }

  if (!open) return Reject(PosText::NoTransaction);

  if (command == "ITEM") {
    verdict = CheckItem(fields);
  } else if (command == "ENTX") {
    verdict = CheckEntx(fields);
  } else if (command == "PRON") {
    verdict = CheckPron(fields);
  } else if (command == "ODTI") {
    verdict = CheckOdti(fields);
    // Any payment but type 1 settles the transaction before its ACK goes out.
    if (verdict.Accepted && verdict.PaymentType >= 2) link_.SetTransactionPanelVisible(false);
  } else if (command == "ISIP") {
    verdict = CheckIsip(fields, TransactionNo);
    if (verdict.Accepted) link_.SetTransactionPanelVisible(false);
  } else if (command == "+ACK") {
    verdict = CheckAck(fields, platform::StrToInt(packet.substr(0, kCommandStart)));
  } else if (command == "NACK") {
    verdict = CheckNack(fields);
  }
  return verdict;
}
