#include "pos/pos_commands.h"

#include <array>

#include "platform/text/int_conv.h"
#include "pos/pos_texts.h"

namespace {

using Fields = std::vector<std::string>;

bool Converts(const std::string& field) {
  return platform::TryStrToInt(field).has_value();
}

PacketVerdict Reject(PosText message) {
  PacketVerdict verdict;
  verdict.Message = PosMessage(message);
  return verdict;
}

PacketVerdict Accept(PosText message = PosText::Accepted,
                     TransactionEffect effect = TransactionEffect::None) {
  PacketVerdict verdict;
  verdict.Accepted = true;
  verdict.Message = PosMessage(message);
  verdict.Effect = effect;
  return verdict;
}

PacketVerdict CheckSttx(const CheckInput& in) {
  const Fields& fields = in.Fields;
  if (fields.size() != 2) return Reject(PosText::WrongParameters);
  const std::optional<int32_t> cashRegister = platform::TryStrToInt(fields[0]);
  const std::optional<int32_t> transaction = platform::TryStrToInt(fields[1]);
  if (!cashRegister || !transaction) return Reject(PosText::SttxUnreadable);
  PacketVerdict verdict = Accept(PosText::Accepted, TransactionEffect::Open);
  verdict.CashRegisterNo = *cashRegister;
  verdict.TransactionNo = *transaction;
  return verdict;
}

PacketVerdict CheckItem(const CheckInput& in) {
  const Fields& fields = in.Fields;
  if (fields.size() != 4) return Reject(PosText::WrongParameters);
  if (fields[0] != "01" && fields[0] != "02") return Reject(PosText::ItemOperationCode);
  if (fields[1].empty()) return Reject(PosText::ItemNoBarcode);
  if (!Converts(fields[2])) return Reject(PosText::ItemQuantity);
  if (!Converts(fields[3])) return Reject(PosText::ItemTotal);
  return Accept();
}

PacketVerdict CheckEntx(const CheckInput& in) {
  const Fields& fields = in.Fields;
  if (fields.size() != 3) return Reject(PosText::WrongParameters);
  if (!Converts(fields[0])) return Reject(PosText::EntxPacketCount);
  if (!Converts(fields[1])) return Reject(PosText::EntxQuantityTotal);
  const std::optional<int32_t> total = platform::TryStrToInt(fields[2]);
  if (!total) return Reject(PosText::EntxTransactionTotal);
  PacketVerdict verdict = Accept();
  verdict.TransactionTotal = *total;
  return verdict;
}

PacketVerdict CheckPron(const CheckInput& in) {
  const Fields& fields = in.Fields;
  if (fields.size() != 1) return Reject(PosText::WrongParameters);
  if (!Converts(fields[0])) return Reject(PosText::PronDiscountedAmount);
  return Accept();
}

PacketVerdict CheckOdti(const CheckInput& in) {
  const Fields& fields = in.Fields;
  if (fields.size() != 2) return Reject(PosText::WrongParameters);
  const std::optional<int32_t> type = platform::TryStrToInt(fields[0]);
  if (!type) return Reject(PosText::OdtiPaymentType);
  if (*type < 1) return Reject(PosText::OdtiPaymentTypeUndefined);
  const std::optional<int32_t> amount = platform::TryStrToInt(fields[1]);
  if (!amount) return Reject(PosText::OdtiPaymentAmount);
  // Type 1 waits for the provision's acknowledgement; any other payment settles at once.
  PacketVerdict verdict =
      Accept(PosText::Accepted, *type == 1 ? TransactionEffect::None : TransactionEffect::Close);
  verdict.PaymentType = *type;
  verdict.PaymentAmount = *amount;
  return verdict;
}

PacketVerdict CheckIsip(const CheckInput& in) {
  const Fields& fields = in.Fields;
  if (fields.size() != 1) return Reject(PosText::WrongParameters);
  const std::optional<int32_t> number = platform::TryStrToInt(fields[0]);
  if (!number) return Reject(PosText::IsipSequenceNumber);
  if (*number != in.TransactionNo) return Reject(PosText::IsipOtherTransaction);
  return Accept(PosText::Accepted, TransactionEffect::Close);
}

// Acknowledgements are always accepted; only the message tells how they were read.
PacketVerdict CheckAck(const CheckInput& in) {
  if (in.Fields.size() != 1 || !in.Fields[0].empty()) return Accept(PosText::AckWrongEntry);
  if (in.PacketNumber != in.PendingPacketNo) return Accept(PosText::AckOtherNumber);
  return Accept(PosText::AckReceived, TransactionEffect::AcknowledgesPending);
}

PacketVerdict CheckNack(const CheckInput& in) {
  const bool plain = in.Fields.size() == 1 && in.Fields[0].empty();
  return Accept(plain ? PosText::NackReceived : PosText::NackWrong);
}

std::optional<std::string> AmountPrompt(const PacketVerdict& verdict) {
  return "PROM" + std::to_string(verdict.TransactionTotal) + "|";
}

std::optional<std::string> ProvisionForTypeOne(const PacketVerdict& verdict) {
  if (verdict.PaymentType != 1) return std::nullopt;
  return "PROV00|00|" + std::to_string(verdict.PaymentAmount);
}

constexpr TransactionRule kStarts = TransactionRule::StartsOne;
constexpr TransactionRule kNeeds = TransactionRule::NeedsOne;

constexpr std::array<PosCommand, 8> kCommands = {{
    {"STTX", kStarts, CheckSttx, Reply::AckOrNack, nullptr},
    {"ITEM", kNeeds, CheckItem, Reply::AckOrNack, nullptr},
    {"ENTX", kNeeds, CheckEntx, Reply::AckOrNack, AmountPrompt},
    {"PRON", kNeeds, CheckPron, Reply::AckOrNack, nullptr},
    {"ODTI", kNeeds, CheckOdti, Reply::AckOrNack, ProvisionForTypeOne},
    {"ISIP", kNeeds, CheckIsip, Reply::AckOrNack, nullptr},
    {"NACK", kNeeds, CheckNack, Reply::None, nullptr},
    {"+ACK", kNeeds, CheckAck, Reply::None, nullptr},
}};

}  // namespace

const PosCommand* FindPosCommand(std::string_view name) {
  for (const PosCommand& command : kCommands) {
    if (command.Name == name) return &command;
  }
  return nullptr;
}

PacketVerdict JudgePacket(const PosCommand& command, const CheckInput& input) {
  const bool startsOne = command.Rule == TransactionRule::StartsOne;
  if (startsOne && input.TransactionOpen) return Reject(PosText::TransactionStillOpen);
  if (!startsOne && !input.TransactionOpen) return Reject(PosText::NoTransaction);
  return command.Check(input);
}
