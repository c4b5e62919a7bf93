// The POS dialogue through the real window: a cash register on the master side of a real
// pseudo-terminal talks to port 1 with the "POS" tab in front. The clock is manual and held
// still while bytes flow, so no pause splits a packet; it is moved on purpose to make pauses
// and to bring the retransmission ticks.
#include <gtest/gtest.h>

#include <string>

#include "cash_register_sim.h"
#include "expected_texts.h"
#include "window_rig.h"

namespace {

using namespace expected;

class PosDialogueTest : public PosWindowTest {
 protected:
  void Logged(std::initializer_list<std::string> utf8) {
    for (const std::string& line : utf8) log.push_back(Cp(line));
  }
  static std::string SentLine(const std::string& text) { return kSentPrefix + text; }

  // The receive entries of bytes that arrive now.
  std::string Entries(const std::string& bytes) {
    const std::string ms = std::to_string(Now() - form->View().StartTick);
    std::string out;
    for (const char ch : bytes) {
      const auto value = static_cast<uint8_t>(ch);
      const std::string code = std::to_string(value) + "   ";
      out += "<" + ms + ">" + (value < 32 ? Cp("·") : std::string(1, ch)) + "(" +
             code.substr(0, 3) + ")";
    }
    return out;
  }

  // Start, an item and the end of the items with total 1250: the prompt goes out.
  void SaleUpToThePrompt() {
    reg.SendRaw("001STTX12|34E\r");
    EXPECT_EQ(reg.ReadRaw(), "001001ACKD\r");
    reg.SendRaw("002ITEM01|5|1|100V\r");
    EXPECT_EQ(reg.ReadRaw(), "001002ACKE\r");
    reg.SendRaw("003ENTX1|1|1250Y\r");
    EXPECT_EQ(reg.ReadRaw(), "001003ACKF\r");
    EXPECT_EQ(reg.ReadRaw(), "001PROM1250|H\r");
    Logged({"001STTX12|34E", kAccepted, SentLine("001001ACKD"), "002ITEM01|5|1|100V", kAccepted,
            SentLine("001002ACKE"), "003ENTX1|1|1250Y", kAccepted, SentLine("001003ACKF"),
            SentLine("001PROM1250|H")});
    ExpectPane();
  }
};

TEST_F(PosDialogueTest, FirstStartIsAcknowledgedAndOpensTheTransaction) {
  EXPECT_FALSE(PanelShown());
  reg.SendRaw("001STTX12|34E\r");
  EXPECT_EQ(reg.ReadRaw(), "001001ACKD\r");
  Logged({"001STTX12|34E", kAccepted, SentLine("001001ACKD")});
  ExpectPane();
  EXPECT_TRUE(PanelShown());
  EXPECT_EQ(form->LabelYazarKasaNo->text(), QString::fromUtf8(kCashRegisterLabel) + "12");
  EXPECT_EQ(form->LabelIslemNo->text(), QString::fromUtf8(kTransactionLabel) + "34");
  EXPECT_EQ(form->View().Pos.CashRegisterNo, 12);
  EXPECT_EQ(form->View().Pos.TransactionNo, 34);
  EXPECT_EQ(form->View().Pos.RxBuffer, "");
  EXPECT_TRUE(reg.Quiet());
}

TEST_F(PosDialogueTest, PromptAndProvisionRepeatEveryTwoSecondsUntilAcknowledged) {
  SaleUpToThePrompt();

  // The first repetition comes 2000 ms after the first send, not at the toolkit's default.
  clock->Advance(1999);
  EXPECT_TRUE(reg.Quiet());
  clock->Advance(1);
  EXPECT_EQ(reg.ReadRaw(), "001PROM1250|H\r");
  clock->Advance(2000);
  EXPECT_EQ(reg.ReadRaw(), "001PROM1250|H\r");
  Logged({SentLine("001PROM1250|H"), SentLine("001PROM1250|H")});
  ExpectPane();

  // The acknowledgement stops it, gets no reply, and the transaction stays open.
  reg.SendRaw("001ACKO\r");
  Logged({"001ACKO", kAckReceived});
  ExpectPane();
  EXPECT_FALSE(form->TimerQueue.Enabled());
  clock->Advance(2000);
  clock->Advance(2000);
  EXPECT_TRUE(reg.Quiet());
  EXPECT_TRUE(PanelShown());

  // Payment of type 1: its ACK, then the provision with the next packet number.
  reg.SendRaw("004ODTI1|250W\r");
  EXPECT_EQ(reg.ReadRaw(), "001004ACKG\r");
  EXPECT_EQ(reg.ReadRaw(), "002PROV00|00|250Y\r");
  clock->Advance(2000);
  EXPECT_EQ(reg.ReadRaw(), "002PROV00|00|250Y\r");
  EXPECT_TRUE(PanelShown());

  // Its acknowledgement closes the transaction.
  reg.SendRaw("002ACKP\r");
  Logged({"004ODTI1|250W", kAccepted, SentLine("001004ACKG"), SentLine("002PROV00|00|250Y"),
          SentLine("002PROV00|00|250Y"), "002ACKP", kAckReceived});
  ExpectPane();
  EXPECT_FALSE(PanelShown());
  clock->Advance(2000);
  EXPECT_TRUE(reg.Quiet());
  // The labels keep the closed transaction's numbers.
  EXPECT_EQ(form->LabelIslemNo->text(), QString::fromUtf8(kTransactionLabel) + "34");
}

TEST_F(PosDialogueTest, ClosedPendingPortSkipsTheTicksAndTheRepetitionGoesOnOnAnyTab) {
  SaleUpToThePrompt();

  Click(1);
  ASSERT_EQ(Port(1), nullptr);
  clock->Advance(2000);
  clock->Advance(2000);
  EXPECT_TRUE(reg.Quiet());
  ExpectPane();  // nothing logged either
  EXPECT_TRUE(form->TimerQueue.Enabled());

  // Reopened: nothing at once, the prompt again at the next tick.
  Click(1);
  ASSERT_NE(Port(1), nullptr);
  EXPECT_TRUE(reg.Quiet());
  clock->Advance(2000);
  EXPECT_EQ(reg.ReadRaw(), "001PROM1250|H\r");
  Logged({SentLine("001PROM1250|H")});

  // Another tab in front: the repetition goes on, and an acknowledgement is only shown.
  ShowTab(form->TabSheetASCII);
  clock->Advance(2000);
  EXPECT_EQ(reg.ReadRaw(), "001PROM1250|H\r");
  Logged({SentLine("001PROM1250|H")});
  ExpectPane();
  reg.SendRaw("001ACKO\r");
  log.back() += Entries("001ACKO\r");
  ExpectPane();
  EXPECT_TRUE(reg.Quiet());
  clock->Advance(2000);
  EXPECT_EQ(reg.ReadRaw(), "001PROM1250|H\r");
  Logged({SentLine("001PROM1250|H")});

  ShowTab(form->TabSheetPos);
  reg.SendRaw("001ACKO\r");
  Logged({"001ACKO", kAckReceived});
  ExpectPane();
  clock->Advance(2000);
  EXPECT_TRUE(reg.Quiet());
  EXPECT_TRUE(PanelShown());
}

TEST_F(PosDialogueTest, OnAnotherTabBytesAreShownAndAHalfPacketWaitsForThePosTab) {
  reg.SendRaw("001STTX1");
  ASSERT_TRUE(WaitForRxBuffer("001STTX1"));
  ExpectPane();  // the receiver shows nothing by itself

  ShowTab(form->TabSheetASCII);
  // A whole valid frame on this tab is shown byte by byte and left unanswered.
  reg.SendRaw("001STTX12|34E\r");
  log.push_back(Entries("001STTX12|34E\r"));
  ExpectPane();
  EXPECT_TRUE(reg.Quiet());
  EXPECT_EQ(form->View().Pos.RxBuffer, "001STTX1");
  EXPECT_FALSE(PanelShown());

  ShowTab(form->TabSheetPos);
  reg.SendRaw("2|34E\r");
  EXPECT_EQ(reg.ReadRaw(), "001001ACKD\r");
  Logged({"001STTX12|34E", kAccepted, SentLine("001001ACKD")});
  ExpectPane();
  EXPECT_TRUE(PanelShown());
  EXPECT_EQ(form->View().Pos.RxBuffer, "");
}

TEST_F(PosDialogueTest, RepliesBeginWithThePosNumberPaddedToThreeDigits) {
  const struct {
    const char* posNumber;
    const char* packet;  // sent with its letter
    const char* reply;   // text before the letter
  } rows[] = {
      {"12", "001STTX12|34", "012001ACK"},
      {"0001", "002ITEM01|5|1|100", "0001002ACK"},
      {"", "003PRON100", "000003ACK"},
      {"001", "004PRON100", "001004ACK"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.posNumber);
    form->EditPosNo->setText(row.posNumber);
    reg.Send(row.packet);
    EXPECT_EQ(reg.ReadRaw(), CashRegisterSim::Framed(row.reply));
    log.push_back(CashRegisterSim::WithLetter(row.packet));
    Logged({kAccepted});
    Logged({SentLine(CashRegisterSim::WithLetter(row.reply))});
    ExpectPane();
  }
}

TEST_F(PosDialogueTest, PauseOfMoreThan1500MsCutsThePacketAndTheLateByteStartsTheNext) {
  // A pause of exactly 1500 ms keeps the packet whole.
  reg.SendRaw("001STTX12|3");
  ASSERT_TRUE(WaitForRxBuffer("001STTX12|3"));
  clock->Advance(1500);
  reg.SendRaw("4E\r");
  EXPECT_EQ(reg.ReadRaw(), "001001ACKD\r");
  Logged({"001STTX12|34E", kAccepted, SentLine("001001ACKD")});
  ExpectPane();

  // 1501 ms: what came before is a packet of its own, its last byte taken as the letter.
  reg.SendRaw("002ITEM01|5|1|1");
  ASSERT_TRUE(WaitForRxBuffer("002ITEM01|5|1|1"));
  clock->Advance(1501);
  reg.SendRaw("0");
  EXPECT_EQ(reg.ReadRaw(), "001002NACKE\r");
  Logged({"002ITEM01|5|1|1", kBadLetter, SentLine("001002NACKE")});
  ExpectPane();
  // The late byte is the first of the next packet.
  EXPECT_TRUE(WaitForRxBuffer("0"));
  reg.SendRaw("0V\r");
  Logged({"00V", kNoNumber});
  ExpectPane();
  EXPECT_TRUE(reg.Quiet());

  // The register sends the item again, whole.
  reg.SendRaw("002ITEM01|5|1|100V\r");
  EXPECT_EQ(reg.ReadRaw(), "001002ACKE\r");
  EXPECT_EQ(form->View().Pos.RxBuffer, "");
}

}  // namespace
