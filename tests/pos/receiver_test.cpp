#include <ostream>
#include <stdexcept>

#include "pos_fixture.h"

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

TEST_F(PosTest, FirstStartOfTransactionIsAcknowledged) {
  Receive("001STTX12|34");
  EXPECT_THAT(TakeLog(), ElementsAre("001STTX12|34E", kAccepted, SentLine("001001ACK")));
  EXPECT_THAT(TakeSent(), ElementsAre("001001ACKD\r"));
  EXPECT_TRUE(link.PanelVisible);
  EXPECT_EQ(link.CashRegisterLabel, Cp(std::string(expected::kCashRegisterLabel) + "12"));
  EXPECT_EQ(link.TransactionLabel, Cp(std::string(expected::kTransactionLabel) + "34"));
  EXPECT_EQ(terminal.CashRegisterNo, 12);
  EXPECT_EQ(terminal.TransactionNo, 34);
  EXPECT_THAT(terminal.RxBuffer, IsEmpty());
}

TEST_F(PosTest, LowerCaseCommandIsReadUpperCaseAndLabelsKeepFieldText) {
  Receive("001sttx012|+34");
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("001001ACK")));
  EXPECT_EQ(link.CashRegisterLabel, Cp(std::string(expected::kCashRegisterLabel) + "012"));
  EXPECT_EQ(link.TransactionLabel, Cp(std::string(expected::kTransactionLabel) + "+34"));
  EXPECT_EQ(terminal.TransactionNo, 34);
}

TEST_F(PosTest, ReplyBeginsWithPosNumberPaddedToThree) {
  const struct {
    const char* posNo;
    const char* reply;
  } rows[] = {{"12", "012007ACK"}, {"0001", "0001007ACK"}, {"", "000007ACK"}};
  for (const auto& row : rows) {
    link.PosNo = row.posNo;
    terminal.SendAckNack(true, 2, "007");
    EXPECT_THAT(TakeSent(2), ElementsAre(Frame(row.reply))) << row.posNo;
  }
}

TEST_F(PosTest, SendPacketSkipsEmptySlotAndLogsOnlyWhatWentOut) {
  link.OpenPorts = {1};
  terminal.SendPacket(3, "abc");
  EXPECT_TRUE(link.Events.empty());

  link.OnSend = [](int) { throw std::runtime_error("port gone"); };
  EXPECT_THROW(terminal.SendPacket(1, "abc"), std::runtime_error);
  EXPECT_THAT(TakeLog(), IsEmpty());
}

// A packet whose checks run with (or without) a transaction open, and the line and reply it gets.
struct CheckRow {
  bool open;
  const char* text;     // packet text; its right letter is added
  const char* message;  // UTF-8
  bool ack;
};

void PrintTo(const CheckRow& row, std::ostream* os) {
  *os << (row.open ? "open " : "closed ") << row.text;
}

class PacketCheck : public PosTest, public testing::WithParamInterface<CheckRow> {};

TEST_P(PacketCheck, LogsVerdictAndReplies) {
  const CheckRow& row = GetParam();
  if (row.open) OpenTransaction();
  const std::string text = row.text;
  Receive(text);
  const std::string reply = "001" + text.substr(0, 3) + (row.ack ? "ACK" : "NACK");
  EXPECT_THAT(TakeLog(), ElementsAre(WithLetter(text), Cp(row.message), SentLine(reply)));
  EXPECT_THAT(TakeSent(), ElementsAre(Frame(reply)));
  EXPECT_EQ(link.PanelVisible, row.open);
  EXPECT_FALSE(link.TimerEnabled);
}

using namespace expected;

INSTANTIATE_TEST_SUITE_P(
    Rows, PacketCheck,
    testing::Values(CheckRow{false, "001STTX12|3a", kSttxUnreadable, false},
                    CheckRow{false, "001STTX12|34|5", kParameters, false},
                    CheckRow{false, "001STTX12", kParameters, false},
                    CheckRow{false, "002ITEM01|123|1|100", kNoTransaction, false},
                    CheckRow{false, "003ENTX3|2|1250", kNoTransaction, false},
                    CheckRow{false, "004PRON100", kNoTransaction, false},
                    CheckRow{false, "005ODTI1|250", kNoTransaction, false},
                    CheckRow{false, "006ISIP34", kNoTransaction, false},
                    CheckRow{false, "000ACK", kNoTransaction, false},
                    CheckRow{false, "007NACK", kNoTransaction, false},
                    CheckRow{true, "001STTX12|34", kTransactionOpen, false},
                    CheckRow{true, "002ITEM01|123|1|100", kAccepted, true},
                    CheckRow{true, "002ITEM02|x|1|100", kAccepted, true},
                    CheckRow{true, "002ITEM03|123|1|100", kOperationCode, false},
                    CheckRow{true, "002ITEM1|123|1|100", kOperationCode, false},
                    CheckRow{true, "002ITEM001|123|1|100", kOperationCode, false},
                    CheckRow{true, "002ITEM 01|123|1|100", kOperationCode, false},
                    CheckRow{true, "002ITEM01||1|100", kNoBarcode, false},
                    CheckRow{true, "002ITEM01|123| 5|+5", kAccepted, true},
                    CheckRow{true, "002ITEM01|123|5 |100", kQuantity, false},
                    CheckRow{true, "002ITEM01|123|5a|100", kQuantity, false},
                    CheckRow{true, "002ITEM01|123||100", kQuantity, false},
                    CheckRow{true, "002ITEM01|123|1|", kTotal, false},
                    CheckRow{true, "002ITEM01|123|1", kParameters, false},
                    CheckRow{true, "003ENTXa|2|1250", kPacketCount, false},
                    CheckRow{true, "003ENTX3||1250", kQuantityTotal, false},
                    CheckRow{true, "003ENTX3|2|12x", kTransactionTotal, false},
                    CheckRow{true, "003ENTX3|2", kParameters, false},
                    CheckRow{true, "004PRON100", kAccepted, true},
                    CheckRow{true, "004PRON1 0", kDiscountedTotal, false},
                    CheckRow{true, "004PRON1|0", kParameters, false},
                    CheckRow{true, "005ODTI0|250", kPaymentTypeUnknown, false},
                    CheckRow{true, "005ODTI-1|250", kPaymentTypeUnknown, false},
                    CheckRow{true, "005ODTIa|250", kPaymentTypeWrong, false},
                    CheckRow{true, "005ODTI2|", kPaymentAmount, false},
                    CheckRow{true, "005ODTI2", kParameters, false},
                    CheckRow{true, "006ISIP35", kTransactionNumberOther, false},
                    CheckRow{true, "006ISIP", kTransactionNumberWrong, false}));

TEST_F(PosTest, PaymentOtherThanOneClosesBeforeTheAck) {
  OpenTransaction();
  link.Events.clear();
  Receive("005ODTI2|250");
  EXPECT_THAT(link.Events, ElementsAre("log", "panel", "log", "send", "log"));
  EXPECT_FALSE(link.PanelVisible);
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("001005ACK")));
  EXPECT_FALSE(link.TimerEnabled);
}

TEST_F(PosTest, MatchingSequenceNumberClosesAndKeepsLabels) {
  OpenTransaction();
  Receive("006ISIP34");
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("001006ACK")));
  EXPECT_FALSE(link.PanelVisible);
  EXPECT_EQ(link.TransactionLabel, Cp(std::string(expected::kTransactionLabel) + "34"));
  EXPECT_EQ(terminal.TransactionNo, 34);
}

TEST_F(PosTest, ShortPacketOrUnreadableNumberGetsNoReply) {
  for (const std::string& received : {WithLetter("001STT"), WithLetter("0A1STTX12|34"),
                                      std::string("001ACK"), std::string("x")}) {
    Bytes(received + "\r");
    EXPECT_THAT(TakeLog(), ElementsAre(received, kNoNumber)) << received;
  }
  EXPECT_TRUE(link.Sent.empty());
}

TEST_F(PosTest, UnknownCommandGetsNackWhateverItsLetter) {
  Bytes("001XXXX12|34A\r");
  EXPECT_THAT(TakeLog(), ElementsAre("001XXXX12|34A", kUnknown, SentLine("001001NACK")));
  const char wrong = static_cast<char>(PacketChecksum("001STTX12|34") + 1);
  Bytes(std::string("001STTX12|34") + wrong + "\r");
  EXPECT_THAT(TakeLog(),
              ElementsAre(std::string("001STTX12|34") + wrong, kBadLetter, SentLine("001001NACK")));
  EXPECT_FALSE(link.PanelVisible);
}

// Bytes of 001STTX12|34E with a gap of gap ms before the 4, starting at tick start.
struct GapRow {
  uint32_t start;
  uint32_t gap;
  bool ends;
};

TEST_F(PosTest, GapOfMoreThan1500MsEndsThePacketAndLateByteStartsTheNext) {
  const GapRow rows[] = {{100000, 1500, false},
                         {100000, 1501, true},
                         {0xFFFFFFFFu - 700, 1500, false},
                         {0xFFFFFFFFu - 700, 1501, true},
                         {100000, 0x80000000u, true}};
  for (const GapRow& row : rows) {
    link.PanelVisible = false;
    lastRx = row.start;
    Bytes("001STTX12|3");
    Byte('4', row.gap);
    Bytes("E\r");
    if (row.ends) {
      EXPECT_THAT(TakeLog(),
                  ElementsAre("001STTX12|3", kBadLetter, SentLine("001001NACK"), "4E", kNoNumber))
          << row.start << "+" << row.gap;
    } else {
      EXPECT_THAT(TakeLog(), ElementsAre("001STTX12|34E", kAccepted, SentLine("001001ACK")))
          << row.start << "+" << row.gap;
    }
  }
}

TEST_F(PosTest, LateByteAfterLeftoversBeginsAWholePacket) {
  Bytes("zz");
  Byte('0', 2000);
  Bytes(Frame("001STTX12|34").substr(1));
  EXPECT_THAT(TakeLog(),
              ElementsAre("zz", kNoNumber, "001STTX12|34E", kAccepted, SentLine("001001ACK")));
}

TEST_F(PosTest, CarriageReturnOnEmptyBufferIsIgnored) {
  Byte('\r');
  Byte('\r', 5000);
  EXPECT_THAT(terminal.RxBuffer, IsEmpty());
  Receive("001STTX12|34");
  EXPECT_THAT(TakeLog(), ElementsAre("001STTX12|34E", kAccepted, SentLine("001001ACK")));
}

TEST_F(PosTest, FullBufferIsHandledAsAPacketAndCollectingGoesOn) {
  const std::string flood(kRxBufferLimit, 'x');
  Bytes(flood);
  EXPECT_EQ(terminal.RxBuffer.size(), kRxBufferLimit);
  Receive("001STTX12|34");
  EXPECT_THAT(TakeLog(),
              ElementsAre(flood, kNoNumber, "001STTX12|34E", kAccepted, SentLine("001001ACK")));
}

TEST_F(PosTest, PortsShareOneBufferAndTheEndingPortIsAnswered) {
  Bytes("001STTX", 2);
  Bytes("12|34E\r", 3);
  EXPECT_THAT(TakeLog(3), ElementsAre("001STTX12|34E", kAccepted, SentLine("001001ACK")));
  EXPECT_TRUE(link.Log[2].empty() && link.Sent[2].empty());
}

TEST_F(PosTest, FailedReplyEndsHandlingWithTheNoNumberLineAndAFaultGoesToTheCaller) {
  link.OnSend = [](int) { throw std::runtime_error("write failed"); };
  Receive("001STTX12|34");
  EXPECT_THAT(TakeLog(), ElementsAre("001STTX12|34E", kAccepted, kNoNumber));
  EXPECT_THAT(terminal.RxBuffer, IsEmpty());

  // A fault that is no failed transmission is not dressed up as the protocol's line.
  link.OnSend = [](int) { throw std::logic_error("fault"); };
  Bytes(WithLetter("002ISIP34"));
  EXPECT_THROW(Byte('\r'), std::logic_error);
  EXPECT_THAT(TakeLog(), ElementsAre(WithLetter("002ISIP34"), kAccepted));
  EXPECT_THAT(terminal.RxBuffer, IsEmpty());

  link.OnSend = nullptr;
  Receive("003STTX12|35");
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("001003ACK")));
}

}  // namespace
