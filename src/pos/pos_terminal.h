#pragma once
// The POS terminal's side of the dialogue: packet sending, the receiver that assembles and
// checks packets and answers them, the one open transaction, and the pending message that is
// repeated until acknowledged. Free of widgets and ports: it reaches them through PosLink.
// Main thread only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pos/pos_commands.h"
#include "pos/pos_link.h"

// RxBuffer never grows past this; a longer stream is handled as a packet at the bound.
constexpr size_t kRxBufferLimit = 4096;

// Splits the data part (from the 8th character to the last but one) at every "|".
std::vector<std::string> SplitPacketFields(std::string_view packet);

class PosTerminal {
 public:
  explicit PosTerminal(PosLink& link) : link_(link) {}

  // The window's POS state, as the window's private state names it.
  std::string RxBuffer;
  int32_t PacketCounter = 0;
  int32_t CashRegisterNo = -1;
  int32_t TransactionNo = -1;
  int32_t PendingPort = 0;
  int32_t PendingPacketNo = 0;
  std::string PendingMessage;

  // Packet sending.
  void SendPacket(int port, std::string_view text);
  void SendAckNack(bool ack, int port, std::string_view packetNumberText);

  // A byte that arrived on port while "POS" is active; lastRxTick is the previous byte's
  // tick, now the current tick.
  void PosByteReceived(int port, uint8_t value, uint32_t lastRxTick, uint32_t now);
  // Pending message.
  void ArmPendingMessage(int port, const std::string& body);
  void SendPendingMessage();
  void TimerQueueTimer() { SendPendingMessage(); }

 private:
  // Handles the packet in RxBuffer as ending on port (RxBuffer is emptied by the caller).
  void HandlePacket(int port);
  PacketVerdict ValidatePacket(const PosCommand& command, std::string_view packet,
                               int32_t packetNumber);
  void CarryOut(const PacketVerdict& verdict, const std::vector<std::string>& fields);
  // The pending message's number was acknowledged.
  void AcknowledgePendingMessage();

  PosLink& link_;
};
