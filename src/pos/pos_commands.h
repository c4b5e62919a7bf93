#pragma once
// The commands of the POS dialogue in one table: what each checks, whether it is answered and
// what follows its ACK. Judging is free of state changes: a verdict names what an accepted
// packet does to the transaction, and PosTerminal carries it out.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TransactionEffect {
  None,
  Open,                // STTX: the numbers and labels are set and the panel shown
  Close,               // the panel is hidden before the reply goes out
  AcknowledgesPending  // "+ACK" naming the pending message's number
};

struct PacketVerdict {
  bool Accepted = false;
  std::string Message;  // CP1254
  TransactionEffect Effect = TransactionEffect::None;
  int32_t CashRegisterNo = 0;    // STTX
  int32_t TransactionNo = 0;     // STTX
  int32_t TransactionTotal = 0;  // ENTX
  int32_t PaymentType = 0;       // ODTI
  int32_t PaymentAmount = 0;     // ODTI
};

// What a check may read: the packet and the terminal's state at its arrival.
struct CheckInput {
  const std::vector<std::string>& Fields;
  int32_t PacketNumber;
  bool TransactionOpen;
  int32_t TransactionNo;
  int32_t PendingPacketNo;
};

// STTX is refused while a transaction is open; every other command needs one open.
enum class TransactionRule { StartsOne, NeedsOne };
// Acknowledgements from the register get no reply.
enum class Reply { AckOrNack, None };

struct PosCommand {
  std::string_view Name;  // as read at positions 4 to 7, upper case
  TransactionRule Rule;
  PacketVerdict (*Check)(const CheckInput&);  // runs once the rule is met
  Reply ReplyToAccepted;                      // a rejected packet always gets NACK
  // The body of the pending message that an accepted packet arms after its ACK, if any.
  std::optional<std::string> (*AfterAck)(const PacketVerdict&);
};

// Nullptr for a command outside the dialogue.
const PosCommand* FindPosCommand(std::string_view name);

// The transaction rule of the command, then its own check.
PacketVerdict JudgePacket(const PosCommand& command, const CheckInput& input);
