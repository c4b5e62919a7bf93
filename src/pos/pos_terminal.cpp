#include "pos/pos_terminal.h"

#include <optional>
#include <stdexcept>
#include <string>

#include "platform/text/cp1254.h"
#include "platform/text/int_conv.h"
#include "pos/packet_format.h"
#include "pos/pos_texts.h"

namespace {

constexpr uint8_t kCarriageReturn = 13;
constexpr uint32_t kPacketGapMs = 1500;

// Where the command and the data part of a packet start (0-based).
constexpr size_t kCommandStart = 3;
constexpr size_t kCommandLength = 4;
constexpr size_t kDataStart = 7;

}  // namespace

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

  // From the packet number on, a failed transmission ends the handling with the same line and
  // no further reply. Any other error is a fault of this code and goes to the caller.
  try {
    const std::string numberText = packet.substr(0, kCommandStart);
    const std::optional<int32_t> number = platform::TryStrToInt(numberText);
    if (!number) {
      link_.AddLogLine(port, PosMessage(PosText::NoPacketNumber));
      return;
    }
    const PosCommand* command = FindPosCommand(
        platform::UpperCase1254(std::string_view(packet).substr(kCommandStart, kCommandLength)));
    if (command == nullptr) {
      link_.AddLogLine(port, PosMessage(PosText::UnknownMessage));
      SendAckNack(false, port, numberText);
      return;
    }
    if (static_cast<uint8_t>(packet.back()) != expected) {
      link_.AddLogLine(port, PosMessage(PosText::WrongCheckLetter));
      SendAckNack(false, port, numberText);
      return;
    }

    const PacketVerdict verdict = ValidatePacket(*command, packet, *number);
    link_.AddLogLine(port, verdict.Message);
    if (!verdict.Accepted) {
      SendAckNack(false, port, numberText);
      return;
    }
    if (command->ReplyToAccepted == Reply::AckOrNack) SendAckNack(true, port, numberText);
    if (command->AfterAck != nullptr) {
      if (const std::optional<std::string> body = command->AfterAck(verdict)) {
        ArmPendingMessage(port, *body);
      }
    }
  } catch (const std::runtime_error&) {
    link_.AddLogLine(port, PosMessage(PosText::NoPacketNumber));
  }
}

PacketVerdict PosTerminal::ValidatePacket(const PosCommand& command, std::string_view packet,
                                          int32_t packetNumber) {
  const std::vector<std::string> fields = SplitPacketFields(packet);
  const PacketVerdict verdict = JudgePacket(
      command,
      {fields, packetNumber, link_.TransactionPanelVisible(), TransactionNo, PendingPacketNo});
  if (verdict.Accepted) CarryOut(verdict, fields);
  return verdict;
}

void PosTerminal::CarryOut(const PacketVerdict& verdict, const std::vector<std::string>& fields) {
  switch (verdict.Effect) {
    case TransactionEffect::None:
      break;
    case TransactionEffect::Open:
      CashRegisterNo = verdict.CashRegisterNo;
      TransactionNo = verdict.TransactionNo;
      link_.SetTransactionPanelVisible(true);
      // The labels show the fields as received, so 012 stays 012.
      link_.SetTransactionLabels(PosMessage(PosText::CashRegisterLabel) + fields[0],
                                 PosMessage(PosText::TransactionLabel) + fields[1]);
      break;
    case TransactionEffect::Close:
      link_.SetTransactionPanelVisible(false);
      break;
    case TransactionEffect::AcknowledgesPending:
      AcknowledgePendingMessage();
      break;
  }
}
