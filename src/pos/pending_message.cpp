#include <string>

#include "platform/text/cp1254.h"
#include "pos/packet_format.h"
#include "pos/pos_terminal.h"

namespace {
constexpr int32_t kRepeatPeriodMs = 2000;
constexpr int32_t kPacketNumberCycle = 999;
}  // namespace

void PosTerminal::ArmPendingMessage(int port, const std::string& body) {
  PendingPort = port;
  PendingPacketNo = PacketCounter + 1;
  PacketCounter = (PacketCounter + 1) % kPacketNumberCycle;
  PendingMessage = body;
  link_.SetQueueTimerEnabled(true);
  SendPendingMessage();
}

void PosTerminal::SendPendingMessage() {
  link_.SetQueueTimerInterval(kRepeatPeriodMs);
  if (!link_.PortPresent(PendingPort)) return;
  SendPacket(PendingPort, PadLeftZeros(std::to_string(PendingPacketNo), 3) + PendingMessage);
}

void PosTerminal::AcknowledgePendingMessage() {
  // Only an acknowledgement of a message still pending settles anything; a late repeat of an
  // old acknowledgement must not close a transaction opened since.
  if (!link_.QueueTimerEnabled()) return;
  if (platform::UpperCase1254(std::string_view(PendingMessage).substr(0, 4)) == "PROV") {
    link_.SetTransactionPanelVisible(false);
  }
  link_.SetQueueTimerEnabled(false);
}
