// Whole sales played by a simulated cash register against the real window, with the POS tab
// in front and the register on the master side of a real pseudo-terminal: every reply is
// checked byte for byte and read back as the register reads it, and port 1's pane line by
// line. Then the same with faults on the line: wrong check letters, a NACK for the prompt,
// acknowledgements lost, a packet cut by a pause, and sales one after another.
#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "cash_register_sim.h"
#include "expected_texts.h"
#include "window_rig.h"

namespace {

using namespace expected;
using Kind = CashRegisterSim::Frame::Kind;

struct SaleItem {
  std::string code, barcode;
  int quantity, total;
};

struct Sale {
  std::string cashRegister, transaction;
  std::vector<SaleItem> items;
  int paid;
  int Total() const {
    return std::accumulate(items.begin(), items.end(), 0,
                           [](int sum, const SaleItem& item) { return sum + item.total; });
  }
  int Quantity() const {
    return std::accumulate(items.begin(), items.end(), 0,
                           [](int sum, const SaleItem& item) { return sum + item.quantity; });
  }
};

// A letter that is not the packet's own.
char WrongLetter(const std::string& text) {
  return static_cast<char>('A' + (CashRegisterSim::CheckLetter(text) - 'A' + 7) % 26);
}

class CashRegisterE2ETest : public PosWindowTest {
 protected:
  int posMessages = 0;  // prompts and provisions the terminal has numbered so far

  void Log(const std::string& cp1254) { log.push_back(cp1254); }
  void Log(const char* utf8) { log.push_back(Cp(utf8)); }
  void LogSent(const std::string& text) {
    Log(Cp(kSentPrefix) + CashRegisterSim::WithLetter(text));
  }

  // Reads the terminal's next frame and checks it byte for byte against text and its letter.
  CashRegisterSim::Frame ExpectFrame(const std::string& text) {
    std::optional<CashRegisterSim::Frame> frame = reg.ReadFrame();
    if (!frame) {
      ADD_FAILURE() << "no frame; expected " << text << ", got \"" << reg.Unread() << "\"";
      return {};
    }
    EXPECT_EQ(frame->raw, CashRegisterSim::Framed(text));
    EXPECT_TRUE(frame->LetterRight()) << frame->raw;
    return *frame;
  }

  // The register sends text with its letter; the terminal answers ACK (and logs it so).
  void SendAcked(const std::string& text) {
    reg.Send(text);
    const std::string no = text.substr(0, 3);
    const CashRegisterSim::Frame reply = ExpectFrame(reg.Ack(no));
    EXPECT_EQ(reply.KindOf(reg.PosNumber()), Kind::Ack);
    EXPECT_EQ(reply.PacketNumber(reg.PosNumber()), no);
    Log(CashRegisterSim::WithLetter(text));
    Log(kAccepted);
    LogSent(reg.Ack(no));
  }

  // Reads the prompt or provision the terminal sends now; returns its packet number.
  std::string ExpectOwnMessage(Kind kind, int amount, bool repeated = false) {
    if (!repeated) ++posMessages;
    const std::string no = CashRegisterSim::Number(posMessages);
    const std::string text = kind == Kind::Prom ? CashRegisterSim::Prom(no, std::to_string(amount))
                                                : CashRegisterSim::Prov(no, std::to_string(amount));
    const CashRegisterSim::Frame frame = ExpectFrame(text);
    EXPECT_EQ(frame.KindOf(reg.PosNumber()), kind);
    EXPECT_EQ(frame.PacketNumber(reg.PosNumber()), no);
    EXPECT_EQ(frame.Amount(), std::to_string(amount));
    LogSent(text);
    return no;
  }

  // The register acknowledges the terminal's message no: logged, never answered.
  void Acknowledge(const std::string& no) {
    const std::string ack = CashRegisterSim::AckOf(no);
    reg.Send(ack);
    Log(CashRegisterSim::WithLetter(ack));
    Log(kAckReceived);
    ExpectPane();
    EXPECT_TRUE(reg.Quiet());
    EXPECT_FALSE(form->TimerQueue.Enabled());
  }

  void StartSale(const Sale& sale) {
    SendAcked(CashRegisterSim::Sttx(reg.NextNumber(), sale.cashRegister, sale.transaction));
    ExpectPane();
    EXPECT_TRUE(PanelShown());
    EXPECT_EQ(form->LabelYazarKasaNo->text(),
              QString::fromUtf8(kCashRegisterLabel) + QString::fromStdString(sale.cashRegister));
    EXPECT_EQ(form->LabelIslemNo->text(),
              QString::fromUtf8(kTransactionLabel) + QString::fromStdString(sale.transaction));
  }

  void SendItems(const Sale& sale) {
    for (const SaleItem& item : sale.items) {
      SendAcked(CashRegisterSim::Item(reg.NextNumber(), item.code, item.barcode,
                                      std::to_string(item.quantity), std::to_string(item.total)));
    }
    ExpectPane();
  }

  // The end of the items; returns the number of the prompt that follows its ACK.
  std::string EndItems(const Sale& sale) {
    SendAcked(CashRegisterSim::Entx(reg.NextNumber(), std::to_string(sale.items.size()),
                                    std::to_string(sale.Quantity()), std::to_string(sale.Total())));
    const std::string no = ExpectOwnMessage(Kind::Prom, sale.Total());
    ExpectPane();
    EXPECT_TRUE(form->TimerQueue.Enabled());
    return no;
  }

  // Payment of type 1 and its provision, acknowledged: the transaction closes.
  void PayAndClose(const Sale& sale) {
    SendAcked(CashRegisterSim::Odti(reg.NextNumber(), "1", std::to_string(sale.paid)));
    const std::string no = ExpectOwnMessage(Kind::Prov, sale.paid);
    ExpectPane();
    EXPECT_TRUE(PanelShown());
    Acknowledge(no);
    EXPECT_FALSE(PanelShown());
  }

  void PlaySale(const Sale& sale) {
    StartSale(sale);
    SendItems(sale);
    const std::string prom = EndItems(sale);
    Acknowledge(prom);
    EXPECT_TRUE(PanelShown());
    PayAndClose(sale);
  }

  const Sale kSale{"12", "34", {{"01", "8690504", 2, 500}, {"02", "4006381", 1, 750}}, 1250};
};

TEST_F(CashRegisterE2ETest, WholeSaleIsAnsweredByteForByte) {
  const Sale sale{"7",
                  "1001",
                  {{"01", "8690504", 2, 500}, {"01", "4006381", 1, 150}, {"02", "X-1", 3, 90}},
                  740};
  PlaySale(sale);
  EXPECT_EQ(form->View().Pos.CashRegisterNo, 7);
  EXPECT_EQ(form->View().Pos.TransactionNo, 1001);
  clock->Advance(2000);
  EXPECT_TRUE(reg.Quiet());
  ExpectPane();
}

TEST_F(CashRegisterE2ETest, WrongCheckLettersAreAnsweredWithNack) {
  // Each packet goes out with a wrong letter first, then again with its own.
  auto refusedThenAccepted = [&](const std::string& text, char letter) {
    SCOPED_TRACE(text);
    reg.SendWithLetter(text, letter);
    ExpectFrame(reg.Nack(text.substr(0, 3)));
    Log(text + letter);
    Log(kBadLetter);
    LogSent(reg.Nack(text.substr(0, 3)));
    ExpectPane();
  };

  const std::string start = CashRegisterSim::Sttx(reg.NextNumber(), "12", "34");
  refusedThenAccepted(start, WrongLetter(start));
  EXPECT_FALSE(PanelShown());
  SendAcked(start);
  EXPECT_TRUE(PanelShown());

  const std::string item = CashRegisterSim::Item(reg.NextNumber(), "01", "8690504", "2", "500");
  refusedThenAccepted(item, '5');  // not even a letter
  SendAcked(item);
  const std::string prom = EndItems(Sale{"12", "34", {{"01", "8690504", 2, 500}}, 500});

  // An acknowledgement with a wrong letter is refused like any packet; the prompt goes on.
  const std::string ack = CashRegisterSim::AckOf(prom);
  refusedThenAccepted(ack, WrongLetter(ack));
  EXPECT_TRUE(form->TimerQueue.Enabled());
  clock->Advance(2000);
  ExpectOwnMessage(Kind::Prom, 500, /*repeated=*/true);
  ExpectPane();
  Acknowledge(prom);
  EXPECT_TRUE(PanelShown());
}

TEST_F(CashRegisterE2ETest, NackForThePromptIsLoggedAndThePromptComesAgainAtTheNextTick) {
  StartSale(kSale);
  SendItems(kSale);
  const std::string prom = EndItems(kSale);

  const std::string nack = CashRegisterSim::NackOf(prom);
  reg.Send(nack);
  Log(CashRegisterSim::WithLetter(nack));
  Log(kNackReceived);
  ExpectPane();
  EXPECT_TRUE(reg.Quiet());  // neither answered nor sent again at once
  clock->Advance(1999);
  EXPECT_TRUE(reg.Quiet());
  clock->Advance(1);
  EXPECT_EQ(ExpectOwnMessage(Kind::Prom, kSale.Total(), /*repeated=*/true), prom);
  ExpectPane();

  Acknowledge(prom);
  PayAndClose(kSale);
}

TEST_F(CashRegisterE2ETest, LostAcknowledgementsLeaveThePromptRepeatingEveryTwoSeconds) {
  StartSale(kSale);
  SendItems(kSale);
  const std::string prom = EndItems(kSale);
  for (int lost = 0; lost < 4; ++lost) {
    SCOPED_TRACE(lost);
    clock->Advance(2000);
    EXPECT_EQ(ExpectOwnMessage(Kind::Prom, kSale.Total(), /*repeated=*/true), prom);
    EXPECT_TRUE(reg.Quiet());
  }
  ExpectPane();
  Acknowledge(prom);
  clock->Advance(2000);
  EXPECT_TRUE(reg.Quiet());

  // The provision's acknowledgement is lost too, twice, before it comes.
  SendAcked(CashRegisterSim::Odti(reg.NextNumber(), "1", std::to_string(kSale.paid)));
  const std::string prov = ExpectOwnMessage(Kind::Prov, kSale.paid);
  for (int lost = 0; lost < 2; ++lost) {
    clock->Advance(2000);
    EXPECT_EQ(ExpectOwnMessage(Kind::Prov, kSale.paid, /*repeated=*/true), prov);
  }
  ExpectPane();
  EXPECT_TRUE(PanelShown());
  Acknowledge(prov);
  EXPECT_FALSE(PanelShown());
}

TEST_F(CashRegisterE2ETest, PacketCutByAPauseIsRefusedAndTheRegisterSendsItAgain) {
  StartSale(kSale);
  const std::string no = reg.NextNumber();
  const std::string item = CashRegisterSim::Item(no, "01", "8690504", "2", "500");
  const std::string framed = CashRegisterSim::Framed(item);
  const size_t cut = 12;  // "002ITEM01|86" | "90504|2|500", letter, CR
  const std::string head = framed.substr(0, cut);
  const std::string tail = framed.substr(cut);

  reg.SendRaw(head);
  ASSERT_TRUE(WaitForRxBuffer(head));
  clock->Advance(1501);
  reg.SendRaw(tail);

  // The head is a packet whose last byte stands for its letter; the tail, from the late byte
  // on, is one whose first three bytes read as a number and whose command is none.
  const std::string tailText = tail.substr(0, tail.size() - 1);
  ExpectFrame(reg.Nack(no));
  ExpectFrame(reg.Nack(tailText.substr(0, 3)));
  Log(head);
  Log(kBadLetter);
  LogSent(reg.Nack(no));
  Log(tailText);
  Log(kUnknown);
  LogSent(reg.Nack(tailText.substr(0, 3)));
  ExpectPane();
  EXPECT_TRUE(reg.Quiet());
  EXPECT_EQ(form->View().Pos.RxBuffer, "");

  // Sent again whole, the item is taken and the sale goes on.
  SendAcked(item);
  const Sale rest{"12", "34", {{"01", "8690504", 2, 500}}, 500};
  Acknowledge(EndItems(rest));
  PayAndClose(rest);
}

TEST_F(CashRegisterE2ETest, PaymentBeforeThePromptIsAcknowledgedReplacesItAndKeepsThePhase) {
  StartSale(kSale);
  SendItems(kSale);
  const std::string prom = EndItems(kSale);

  // The register pays halfway through the prompt's period, without acknowledging it.
  clock->Advance(1000);
  SendAcked(CashRegisterSim::Odti(reg.NextNumber(), "1", std::to_string(kSale.paid)));
  const std::string prov = ExpectOwnMessage(Kind::Prov, kSale.paid);
  ExpectPane();
  // The provision is repeated on the running timer's beat, and the prompt no more.
  clock->Advance(999);
  EXPECT_TRUE(reg.Quiet());
  clock->Advance(1);
  EXPECT_EQ(ExpectOwnMessage(Kind::Prov, kSale.paid, /*repeated=*/true), prov);

  // A late acknowledgement of the prompt no longer matches.
  const std::string oldAck = CashRegisterSim::AckOf(prom);
  reg.Send(oldAck);
  Log(CashRegisterSim::WithLetter(oldAck));
  Log(kAckOtherNumber);
  ExpectPane();
  EXPECT_TRUE(reg.Quiet());
  clock->Advance(2000);
  EXPECT_EQ(ExpectOwnMessage(Kind::Prov, kSale.paid, /*repeated=*/true), prov);
  EXPECT_TRUE(PanelShown());

  Acknowledge(prov);
  EXPECT_FALSE(PanelShown());
}

TEST_F(CashRegisterE2ETest, SalesInARowNumberPromptsAndProvisionsOnwards) {
  const Sale second{"12", "35", {{"02", "4006381", 4, 1000}}, 1000};
  const Sale third{"13", "1", {{"01", "5", 1, 1}}, 1};
  PlaySale(kSale);
  PlaySale(second);
  PlaySale(third);
  EXPECT_EQ(posMessages, 6);  // PROM 001, PROV 002, PROM 003, PROV 004, PROM 005, PROV 006
  EXPECT_EQ(form->View().Pos.PacketCounter, 6);
  EXPECT_EQ(form->View().Pos.CashRegisterNo, 13);
  EXPECT_EQ(form->View().Pos.TransactionNo, 1);
}

}  // namespace
