#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTest>
#include <functional>
#include <string>

#include "expected_texts.h"
#include "senders/omron_frame.h"
#include "window/byte_code_field.h"
#include "window/message_boxes.h"
#include "window_rig.h"

namespace {

using testing::HasSubstr;

const std::string kChoosePort = Cp(expected::kChoosePort);

class Send : public SenderTest {};

TEST_F(Send, PutsTheBytesOfTheActiveTabOnTheChosenPortWithThePauseAfterEveryByte) {
  Open(1);
  ASSERT_NE(Port(1), nullptr);
  const Bytes c00WithDleEnq{0x10, 0x02, 0x43, 0x30, 0x30, 0x10, 0x03, 0x40, 0x10, 0x05};
  const struct {
    bool omron;
    const char* text;  // UTF-8
    bool auto165;
    const char* sleep;
    uint32_t pauseMs;
    Bytes bytes;
  } rows[] = {
      {false, "033006005032", false, "0", 0, {33, 6, 5, 32}},
      {false, "0330", false, "0", 0, {33}},
      {false, "65", false, "100", 0, {}},
      {false, "", false, "100", 0, {}},
      {false, "256300", false, "0", 0, {0, 44}},
      {false, " 65", false, "0", 0, {65}},
      {false, "65 ", false, "0", 0, {0}},
      {false, "abc033", false, "0", 0, {0, 33}},
      {false, "-01$1F999", false, "0", 0, {255, 31, 231}},
      {false, "033006", false, "100", 200, {33, 6}},
      {false, "033006", false, "-5", 0, {33, 6}},
      {false, "033006", false, "abc", 0, {33, 6}},
      {true, "C00", true, "100", 1000, c00WithDleEnq},
      {true, "C61", false, "0", 0, {0x10, 0x02, 0x43, 0x36, 0x31, 0x10, 0x03, 0x47}},
      {true, "", false, "7", 35, {0x10, 0x02, 0x10, 0x03, 0x03}},
      {true, "Ağ", false, "0", 0, {0x10, 0x02, 0x41, 0xF0, 0x10, 0x03, 0xB2}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.omron ? "Omron " : "ASCII ") + row.text + " sleep " + row.sleep);
    TForm5& f = *form;
    f.PageControl1->setCurrentWidget(row.omron ? f.TabSheetOmron : f.TabSheetASCII);
    (row.omron ? f.EditOmron : f.EditASCII)->setText(QString::fromUtf8(row.text));
    f.CheckBox5->setChecked(row.auto165);
    f.EditSleep->setText(QString::fromUtf8(row.sleep));
    const uint32_t before = Now();
    PressSend();
    EXPECT_EQ(Sent(1), row.bytes);
    EXPECT_EQ(Now() - before, row.pauseMs);
  }
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(WindowTest, WithTheRealClockASendLastsAtLeastOnePausePerByte) {
  Drain(1);
  Create();
  Open(1);
  form->EditASCII->setText(QStringLiteral("033006"));
  form->EditSleep->setText(QStringLiteral("100"));
  QElapsedTimer took;
  took.start();
  PressSend();
  EXPECT_GE(took.elapsed(), 200);
  EXPECT_EQ(Sent(1), (Bytes{33, 6}));
}

TEST_F(Send, APastedTextOfCodesGoesOutWholeAndAPasteThatWouldPassTheLimitIsRefusedWhole) {
  Open(1);
  TForm5& f = *form;
  const size_t limit = kMaxByteCodeChars;
  const struct {
    size_t paste;  // characters pasted at the end of the field
    size_t fieldAfter;
    bool refused;
  } rows[] = {
      {200000, 200000, false},
      {limit, 200000, true},  // would pass the limit: none of it goes in
      {limit - 200000, limit, false},
      {1, limit, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.paste);
    std::string codes;
    while (codes.size() < row.paste) codes += "065";
    codes.resize(row.paste);
    QGuiApplication::clipboard()->setText(QString::fromLatin1(codes));
    boxes.Messages.clear();
    f.EditASCII->end(false);
    QTest::keySequence(f.EditASCII, QKeySequence::Paste);
    QCoreApplication::processEvents();  // the refusal's box comes from the event loop
    EXPECT_EQ(static_cast<size_t>(f.EditASCII->text().size()), row.fieldAfter);
    EXPECT_EQ(boxes.Messages, row.refused ? std::vector{Cp(expected::kByteCodeFieldFull)}
                                          : std::vector<std::string>{});
  }
  f.EditASCII->setText(f.EditASCII->text().left(200000));
  PressSend();
  EXPECT_EQ(Sent(1), Bytes(200000 / 3, 65));
}

TEST_F(Send, SixteenFiveSendsDleEnqOnEveryTabAndLeavesItsCodesInTheAsciiField) {
  Open(1);
  TForm5& f = *form;
  f.CheckBox5->setChecked(true);  // "Auto16,5" is for frames only
  f.EditOmron->setText(QStringLiteral("C00"));
  for (QWidget* tab : {f.TabSheetASCII, f.TabSheetOmron, f.TabSheetPos, f.TabSheetYazarKasa}) {
    SCOPED_TRACE(f.PageControl1->tabText(f.PageControl1->indexOf(tab)).toStdString());
    f.PageControl1->setCurrentWidget(tab);
    f.EditASCII->setText(QStringLiteral("065066"));
    f.SpeedButton165->click();
    EXPECT_EQ(Sent(1), (Bytes{0x10, 0x05}));
    EXPECT_EQ(f.EditASCII->text(), QStringLiteral("016005"));
  }
}

TEST_F(Send, CommandButtonPutsItsCaptionInTheOmronFieldAndSendsItsFrame) {
  Open(2);
  TForm5& f = *form;
  f.PageControl1->setCurrentWidget(f.TabSheetOmron);
  for (QToolButton* button : {f.SpeedButton00, f.SpeedButton20, f.SpeedButton30, f.SpeedButton61,
                              f.SpeedButton62, f.SpeedButton40}) {
    const std::string caption = button->text().toStdString();
    SCOPED_TRACE(caption);
    f.EditOmron->setText(QStringLiteral("X"));
    button->click();
    EXPECT_EQ(f.EditOmron->text().toStdString(), caption);
    EXPECT_EQ(Sent(2), OmronFrame(caption, false));
  }
}

TEST_F(Send, WithoutAWorkingPortEverySenderSendsNothingAndMakesNoPause) {
  TForm5& f = *form;
  f.EditSleep->setText(QStringLiteral("100"));
  const struct {
    const char* name;
    std::function<void()> press;
    Bytes bytes;  // on a working port
  } senders[] = {
      {"Send on ASCII",
       [&] {
         f.PageControl1->setCurrentWidget(f.TabSheetASCII);
         f.EditASCII->setText(QStringLiteral("065066"));
         PressSend();
       },
       {65, 66}},
      {"Send on Omron Strings",
       [&] {
         f.PageControl1->setCurrentWidget(f.TabSheetOmron);
         f.EditOmron->setText(QString());
         PressSend();
       },
       {0x10, 0x02, 0x10, 0x03, 0x03}},
      {"16,5", [&] { f.SpeedButton165->click(); }, {0x10, 0x05}},
      {"C20",
       [&] {
         f.PageControl1->setCurrentWidget(f.TabSheetOmron);
         f.SpeedButton20->click();
       },
       {0x10, 0x02, 0x43, 0x32, 0x30, 0x10, 0x03, 0x42}},
  };

  // No port chosen: the box, nothing else.
  for (const auto& sender : senders) {
    SCOPED_TRACE(sender.name);
    const uint32_t before = Now();
    boxes.Messages.clear();
    sender.press();
    EXPECT_THAT(boxes.Messages, testing::ElementsAre(kChoosePort));
    EXPECT_EQ(Now(), before);
  }

  // Port 2 failed to open: it is listed but its slot is empty. Port 1 works but is not chosen.
  Open(1);
  boxes.Messages.clear();
  Open(2, "9600");
  ASSERT_THAT(boxes.Messages, testing::ElementsAre(HasSubstr("is not a valid integer value")));
  ASSERT_EQ(Port(2), nullptr);
  Choose(2);
  ASSERT_EQ(f.ComboBox1->currentText(), QStringLiteral("Com2"));
  boxes.Messages.clear();
  for (const auto& sender : senders) {
    SCOPED_TRACE(sender.name);
    const uint32_t before = Now();
    sender.press();
    EXPECT_EQ(Now(), before);
    EXPECT_EQ(Sent(1), Bytes{});
  }
  EXPECT_TRUE(boxes.Messages.empty());

  // The same presses on the working port do send, with their pauses.
  Choose(1);
  for (const auto& sender : senders) {
    SCOPED_TRACE(sender.name);
    const uint32_t before = Now();
    sender.press();
    EXPECT_EQ(Sent(1), sender.bytes);
    EXPECT_EQ(Now() - before, 100 * sender.bytes.size());
  }
}

}  // namespace
