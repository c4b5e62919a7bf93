// Send dispatch on the active tab, and the receive display of every byte in its port's pane.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "expected_texts.h"
#include "window_rig.h"

namespace {

class SendDispatchTest : public WindowTest {
 protected:
  // Ports 1, 3 and 2 open, in that order, so Com2 is selected; every tab's field holds text
  // that makes its own sender's bytes unmistakable.
  void OpenAndFill() {
    Click(1);
    Click(3);
    Click(2);
    ASSERT_EQ(Selected(), "Com2");
    form->EditASCII->setText("065066");
    form->EditOmron->setText("C00");
    form->EditSendCommand->setText("xyz");
    form->EditYazarKasa->setText("abc");
  }
};

TEST_F(SendDispatchTest, SendRunsTheSenderOfTheActiveTabOnTheSelectedPortOnly) {
  Create();
  OpenAndFill();
  const struct {
    QWidget* sheet;
    Bytes bytes;
    std::string logLine;  // the pane's last line afterwards, UTF-8
  } rows[] = {
      {form->TabSheetASCII, {65, 66}, ""},
      {form->TabSheetOmron, {0x10, 0x02, 0x43, 0x30, 0x30, 0x10, 0x03, 0x40}, ""},
      {form->TabSheetPos, BytesOf("xyzZ\r"), std::string(expected::kSentPrefix) + "xyzZ"},
      {form->TabSheetYazarKasa, BytesOf("abcI\r"), std::string(expected::kSentPrefix) + "abcI"},
  };
  for (const auto& row : rows) {
    form->PageControl1->setCurrentWidget(row.sheet);
    ASSERT_EQ(form->ActivePage(), row.sheet);
    PressSend();
    EXPECT_EQ(pty[2]->ReadExactly(row.bytes.size()), row.bytes)
        << form->PageControl1->indexOf(row.sheet);
    EXPECT_EQ(pty[2]->ReadAvailable(std::chrono::milliseconds(50)), Bytes{});
    EXPECT_EQ(form->Memo[2]->LastLine(), Cp(row.logLine));
  }
  for (int n : {1, 3, 4}) {
    EXPECT_EQ(pty[n]->ReadAvailable(), Bytes{}) << n;
    EXPECT_TRUE(form->Memo[n]->Lines().empty()) << n;
  }
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(SendDispatchTest, WithEveryTabHiddenSendSendsNothingAndBytesAreStillShown) {
  clock.emplace();
  Create("[Tabs]\nAscii=0\nOmron=0\nPos=0\nYazarKasa=0\n");
  ASSERT_EQ(form->ActivePage(), nullptr);
  OpenAndFill();
  PressSend();
  EXPECT_TRUE(boxes.Messages.empty());
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(pty[n]->ReadAvailable(), Bytes{}) << n;

  clock->Set(form->View().StartTick + 77);
  pty[2]->Write("A");
  EXPECT_EQ(WaitForLastLine(2, "<77>A(65 )"), "<77>A(65 )");
  EXPECT_EQ(form->View().LastRxTick, form->View().StartTick + 77);
}

class ReceiveDisplayTest : public WindowTest {
 protected:
  void SetUp() override {
    clock.emplace();
    Create();
  }
  // Delivers value on port n with the clock held at StartTick + ms.
  void Deliver(int n, uint8_t value, uint32_t ms) {
    clock->Set(form->View().StartTick + ms);
    pty[n]->Write(Bytes{value});
  }
};

TEST_F(ReceiveDisplayTest, EachByteExtendsTheLastLineWithItsTimeCharacterAndCode) {
  Click(1);
  const struct {
    uint8_t value;
    uint32_t ms;
    std::string entry;  // UTF-8
  } rows[] = {
      {65, 1234, "<1234>A(65 )"},
      {13, 1240, "<1240>·(13 )"},
      {10, 1241, "<1241>·(10 )"},
      {7, 1250, "<1250>·(7  )"},
      {0, 1251, "<1251>·(0  )"},
      {31, 1252, "<1252>·(31 )"},
      {32, 1260, "<1260> (32 )"},
      {127, 1270, "<1270>\x7f(127)"},
      {128, 1280, "<1280>€(128)"},
      {160, 1290, "<1290>\u00a0(160)"},
      {200, 1300, "<1300>È(200)"},
      {253, 1310, "<1310>ı(253)"},
      {255, 1320, "<1320>ÿ(255)"},
      {65, 0, "<0>A(65 )"},
      {66, 4294967295u, "<4294967295>B(66 )"},
  };
  std::string line;
  for (const auto& row : rows) {
    Deliver(1, row.value, row.ms);
    line += Cp(row.entry);
    EXPECT_EQ(WaitForLastLine(1, line), line) << int(row.value);
    EXPECT_EQ(form->View().LastRxTick, form->View().StartTick + row.ms);
  }
  EXPECT_EQ(form->Memo[1]->Lines().size(), 1u);
}

TEST_F(ReceiveDisplayTest, TimeCountsFromCreationOfTheWindowAcrossTheCounterWrap) {
  form.reset();
  clock->Set(0xFFFFFF00u);
  Create();
  clock->Advance(60000);
  Click(3);  // ticking leaves the clock where it is
  clock->Advance(2000);
  pty[3]->Write("x");
  EXPECT_EQ(WaitForLastLine(3, "<62000>x(120)"), "<62000>x(120)");
}

TEST_F(ReceiveDisplayTest, BytesOfEachPortGoToThatPortsPane) {
  for (int n = 1; n <= 4; ++n) Click(n);
  for (int n = 1; n <= 4; ++n) {
    Deliver(n, static_cast<uint8_t>('0' + n), 10u * n);
    const std::string entry = std::string("<").append(std::to_string(10 * n)) + ">" +
                              std::to_string(n) + "(" + std::to_string(48 + n) + " )";
    EXPECT_EQ(WaitForLastLine(n, entry), entry);
  }
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(form->Memo[n]->Lines().size(), 1u) << n;
}

TEST_F(ReceiveDisplayTest, ByteAfterAnAddedLineExtendsThatLine) {
  Click(1);
  Deliver(1, 'a', 5);
  ASSERT_EQ(WaitForLastLine(1, "<5>a(97 )"), "<5>a(97 )");
  const std::string sent = Cp(expected::kSentPrefix) + "abcI";
  form->Memo[1]->AddLine(sent);
  Deliver(1, 'b', 6);
  const std::string extended = sent + "<6>b(98 )";
  EXPECT_EQ(WaitForLastLine(1, extended), extended);
  EXPECT_EQ(form->Memo[1]->Lines(), (std::vector<std::string>{"<5>a(97 )", extended}));
}

TEST_F(ReceiveDisplayTest, OnThePosTabBytesGoToThePosReceiverAndAreNotShown) {
  Click(1);
  form->PageControl1->setCurrentWidget(form->TabSheetPos);
  Deliver(1, 'Q', 300);
  ASSERT_TRUE(WaitForRxBuffer("Q"));
  Deliver(1, 'R', 310);
  ASSERT_TRUE(WaitForRxBuffer("QR"));
  EXPECT_EQ(form->View().LastRxTick, form->View().StartTick + 310);
  EXPECT_TRUE(form->Memo[1]->Lines().empty());

  // Yazar Kasa shows them like any other tab.
  form->PageControl1->setCurrentWidget(form->TabSheetYazarKasa);
  Deliver(1, 'S', 320);
  EXPECT_EQ(WaitForLastLine(1, "<320>S(83 )"), "<320>S(83 )");
  EXPECT_EQ(form->View().Pos.RxBuffer, "QR");
}

TEST_F(ReceiveDisplayTest, NoByteOfAPortReachesItsPaneOnceItIsClosed) {
  Click(1);
  Flood flood({pty[1].get()}, 'z');
  ASSERT_TRUE(WaitUntil([&] { return PaneChars(1) > 500; })) << PortState(1);

  Click(1);  // closes port 1 while its bytes keep coming
  const std::vector<std::string> atClose = form->Memo[1]->Lines();
  Click(2);
  Deliver(2, 'b', 200);
  ASSERT_EQ(WaitForLastLine(2, "<200>b(98 )"), "<200>b(98 )");
  EXPECT_EQ(form->Memo[1]->Lines(), atClose);
}

class ReceiveLoadTest : public WindowTest {};

TEST_F(ReceiveLoadTest, WindowKeepsAnsweringWhileTwoPortsReceiveMoreThanItCanShow) {
  Create();
  Click(1);
  Click(2);
  // Each byte takes the window 50 us, so the ptys bring more than it can handle.
  for (int n : {1, 2}) {
    const TReceiveEvent shown = Port(n)->OnReceive;
    Port(n)->OnReceive = [shown](TPeripheral* sender, uint8_t value) {
      const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
      while (std::chrono::steady_clock::now() < until) {
      }
      shown(sender, value);
    };
  }
  // The flood ends by itself after a minute, so a window that answers only once the input
  // stops fails the test. The minute is far beyond what a slow, loaded machine needs to answer
  // (seconds), so the test does not rest on the machine's speed.
  Flood flood({pty[1].get(), pty[2].get()}, 'f', std::chrono::seconds(60));
  ASSERT_TRUE(WaitUntil([&] {
    return !form->Memo[1]->Lines().empty() && !form->Memo[2]->Lines().empty();
  })) << PortState(1)
      << "; " << PortState(2);
  bool answered = false;
  bool floodWasOn = false;
  QMetaObject::invokeMethod(
      form.get(),
      [&] {
        answered = true;
        floodWasOn = !flood.Stopped();
      },
      Qt::QueuedConnection);
  EXPECT_TRUE(WaitUntil([&] { return answered; }, std::chrono::seconds(90)));
  EXPECT_TRUE(floodWasOn) << "the window answered only once the input stopped";
}

}  // namespace
