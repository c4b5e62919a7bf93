#pragma once
// The fixed texts of the POS dialogue (log lines, verdict messages, label captions), in
// CP1254. Built once on first use; main thread only.

#include <string>

enum class PosText {
  SentPrefix,
  NoPacketNumber,
  UnknownMessage,
  WrongCheckLetter,
  Accepted,
  TransactionStillOpen,
  NoTransaction,
  WrongParameters,
  SttxUnreadable,
  CashRegisterLabel,
  TransactionLabel,
  ItemOperationCode,
  ItemNoBarcode,
  ItemQuantity,
  ItemTotal,
  EntxPacketCount,
  EntxQuantityTotal,
  EntxTransactionTotal,
  PronDiscountedAmount,
  OdtiPaymentType,
  OdtiPaymentTypeUndefined,
  OdtiPaymentAmount,
  IsipSequenceNumber,
  IsipOtherTransaction,
  AckWrongEntry,
  AckReceived,
  AckOtherNumber,
  NackReceived,
  NackWrong,
  Count
};

const std::string& PosMessage(PosText id);
