#include "pos_fixture.h"

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

TEST_F(PosTest, WholeSaleRepeatsPromptAndProvisionUntilAcknowledged) {
  OpenTransaction();
  Receive("002ITEM01|869|2|1250");
  Receive("003ENTX3|2|1250");
  EXPECT_THAT(TakeLog(), ElementsAre(WithLetter("002ITEM01|869|2|1250"), kAccepted,
                                     SentLine("001002ACK"), WithLetter("003ENTX3|2|1250"),
                                     kAccepted, SentLine("001003ACK"), SentLine("001PROM1250|")));
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("001002ACK"), Frame("001003ACK"), "001PROM1250|H\r"));

  link.Advance(1999, terminal);
  EXPECT_THAT(TakeSent(), IsEmpty());
  link.Advance(1, terminal);
  link.Advance(2000, terminal);
  EXPECT_THAT(TakeSent(), ElementsAre("001PROM1250|H\r", "001PROM1250|H\r"));

  TakeLog();
  Bytes(WithLetter("002ACK") + "\r");
  EXPECT_THAT(TakeLog(), ElementsAre(WithLetter("002ACK"), kAckOther));
  EXPECT_TRUE(link.TimerEnabled);
  Bytes("001ACKO\r");
  EXPECT_THAT(TakeLog(), ElementsAre("001ACKO", kAckReceived));
  EXPECT_FALSE(link.TimerEnabled);
  EXPECT_TRUE(link.PanelVisible);
  link.Advance(10000, terminal);
  EXPECT_THAT(TakeSent(), IsEmpty());

  Receive("004ODTI1|250");
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("001004ACK"), Frame("002PROV00|00|250")));
  EXPECT_TRUE(link.PanelVisible);
  EXPECT_EQ(terminal.PendingPort, 1);
  Bytes(WithLetter("002ACK") + "\r");
  EXPECT_FALSE(link.PanelVisible);
  EXPECT_FALSE(link.TimerEnabled);
  EXPECT_THAT(TakeSent(), IsEmpty());
}

TEST_F(PosTest, FirstArmingStartsTheTwoSecondCountdownAndLaterArmingKeepsItsPhase) {
  OpenTransaction();
  link.Advance(700, terminal);
  Receive("003ENTX1|1|+0012");
  EXPECT_EQ(link.TimerInterval, 2000);
  EXPECT_EQ(link.CountdownStart, 700u);
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("001003ACK"), Frame("001PROM12|")));

  link.Advance(1500, terminal);
  const int restarts = link.Restarts;
  Receive("004ENTX1|1|7");
  EXPECT_EQ(link.Restarts, restarts);
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("001004ACK"), Frame("002PROM7|")));
  link.Advance(500, terminal);  // the first countdown runs out on time
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("002PROM7|")));

  TakeLog();
  Bytes(WithLetter("001ACK") + "\r");
  EXPECT_THAT(TakeLog(), ElementsAre(WithLetter("001ACK"), kAckOther));
  EXPECT_TRUE(link.TimerEnabled);
}

TEST_F(PosTest, PacketNumbersRunTo999ThenStartAgainAt1) {
  terminal.PacketCounter = 998;
  terminal.ArmPendingMessage(2, "PROM5|");
  terminal.ArmPendingMessage(2, "PROM6|");
  EXPECT_THAT(TakeSent(2), ElementsAre(Frame("999PROM5|"), Frame("001PROM6|")));
  EXPECT_EQ(terminal.PendingPacketNo, 1);
  EXPECT_EQ(terminal.PacketCounter, 1);
}

TEST_F(PosTest, NegativeAndMalformedAcknowledgementsOnlyLog) {
  OpenTransaction();
  Receive("003ENTX1|1|10");
  TakeLog();
  TakeSent();
  const struct {
    const char* text;
    const char* message;
  } rows[] = {
      {"005NACK", expected::kNackReceived},
      {"005NACK1", expected::kNackFaulty},
      {"005NACK|", expected::kNackFaulty},
      {"001ACK5", expected::kAckWrongEntry},
  };
  for (const auto& row : rows) {
    Bytes(WithLetter(row.text) + "\r");
    EXPECT_THAT(TakeLog(), ElementsAre(WithLetter(row.text), Cp(row.message))) << row.text;
  }
  EXPECT_THAT(TakeSent(), IsEmpty());
  EXPECT_TRUE(link.TimerEnabled);
  EXPECT_TRUE(link.PanelVisible);
}

TEST_F(PosTest, AcknowledgementWithNothingPendingChangesNothing) {
  OpenTransaction();
  Bytes(WithLetter("000ACK") + "\r");  // matches the initial number 0
  EXPECT_THAT(TakeLog(), ElementsAre(WithLetter("000ACK"), kAckReceived));
  EXPECT_TRUE(link.PanelVisible);

  Receive("004ODTI1|250");
  Bytes(WithLetter("001ACK") + "\r");
  EXPECT_FALSE(link.PanelVisible);
  Receive("001STTX12|35");
  TakeLog();
  Bytes(WithLetter("001ACK") + "\r");  // the provision's acknowledgement once more
  EXPECT_THAT(TakeLog(), ElementsAre(WithLetter("001ACK"), kAckReceived));
  EXPECT_TRUE(link.PanelVisible);
  EXPECT_FALSE(link.TimerEnabled);
}

TEST_F(PosTest, PendingMessageOutlivesItsTransactionAndClosedPort) {
  OpenTransaction();
  Receive("003ENTX1|1|10");
  Receive("004ISIP34");
  TakeLog();
  TakeSent();
  Bytes(WithLetter("001ACK") + "\r");
  EXPECT_THAT(TakeLog(), ElementsAre(WithLetter("001ACK"), kNoTransaction, SentLine("001001NACK")));
  EXPECT_TRUE(link.TimerEnabled);

  link.OpenPorts.erase(1);
  TakeSent();
  link.Advance(4000, terminal);
  EXPECT_THAT(TakeSent(), IsEmpty());
  EXPECT_THAT(TakeLog(), IsEmpty());
  link.OpenPorts.insert(1);
  link.Advance(2000, terminal);
  EXPECT_THAT(TakeSent(), ElementsAre(Frame("001PROM10|")));
}

}  // namespace
