#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "sender_window.h"
#include "senders/omron_frame.h"

namespace {

const std::string kChoosePort = Cp("Lütfen bilginin hangi porta yazılacağını seçin.");

// With no port chosen every tick that runs shows the box once, so the boxes count the ticks.
TEST(Periodic, PressTogglesTheTimerAndTakesTheIntervalWhenItConverts) {
  SenderWindow w;
  TForm5& f = *w.form;
  EXPECT_FALSE(f.TimerSensor.Enabled());
  EXPECT_EQ(f.TimerSensor.Interval(), 800);
  const struct {
    const char* interval;
    bool on;
    int32_t period;
    uint32_t wait;  // then the ticks that came
    size_t ticks;
  } presses[] = {
      {"abc", true, 800, 799, 0},    // the first tick comes one full interval after the press
      {"abc", false, 800, 5000, 0},  // a text that does not convert keeps the interval
      {"250", true, 250, 750, 3},    // one tick per interval
      {"400", false, 400, 5000, 0},  // read also at the press that switches off
      {"0", true, 0, 100000, 0},     // on, but never a tick
      {" 30", false, 30, 5000, 0},   // leading blanks convert
      {"x", true, 30, 30, 1},        // the last interval that converted
  };
  for (const auto& press : presses) {
    SCOPED_TRACE(press.interval);
    f.EditInterval->setText(QString::fromUtf8(press.interval));
    f.SpeedButton1->click();
    EXPECT_EQ(f.TimerSensor.Enabled(), press.on);
    EXPECT_EQ(f.TimerSensor.Interval(), press.period);
    EXPECT_EQ(f.SpeedButton1->text(),
              press.on ? QStringLiteral("STOP!") : QStringLiteral("periyodik"));
    w.boxes.Messages.clear();
    for (uint32_t ms = 0; ms < press.wait; ++ms) w.clock->Advance(1);
    EXPECT_EQ(w.boxes.Messages.size(), press.ticks);
  }
  EXPECT_FALSE(f.Timer1.Enabled());
}

TEST(Periodic, TicksWhileTheChoosePortBoxIsShowingAreSkippedAndTheTimerStaysOn) {
  SenderWindow w;
  TForm5& f = *w.form;
  int depth = 0;
  w.boxes.OnShow = [&](const std::string&) {
    // The box's own message loop keeps delivering ticks while it is open.
    if (++depth == 1) {
      for (int i = 0; i < 5; ++i) w.clock->Advance(800);
    }
    --depth;
  };
  f.SpeedButton1->click();
  for (size_t tick = 1; tick <= 3; ++tick) {
    w.clock->Advance(800);
    EXPECT_THAT(w.boxes.Messages, testing::Each(kChoosePort));
    EXPECT_EQ(w.boxes.Messages.size(), tick);
    EXPECT_TRUE(f.TimerSensor.Enabled());
  }
}

TEST(Periodic, EachTickSendsWhatTheActiveTabAndChosenPortSendNow) {
  SenderWindow w;
  TForm5& f = *w.form;
  w.Open(1);
  w.Open(2);  // chosen
  f.EditASCII->setText(QStringLiteral("065066"));
  f.EditOmron->setText(QStringLiteral("C20"));
  f.EditInterval->setText(QStringLiteral("100"));
  f.SpeedButton1->click();

  w.clock->Advance(100);
  EXPECT_EQ(w.com2.Sent(), (Bytes{65, 66}));
  f.PageControl1->setCurrentWidget(f.TabSheetOmron);
  w.clock->Advance(100);
  EXPECT_EQ(w.com2.Sent(), OmronFrame("C20", false));
  w.Choose(1);
  w.clock->Advance(100);
  EXPECT_EQ(w.com1.Sent(), OmronFrame("C20", false));
  f.PageControl1->setCurrentWidget(f.TabSheetASCII);
  w.clock->Advance(100);
  EXPECT_EQ(w.com1.Sent(), (Bytes{65, 66}));
  EXPECT_EQ(w.com2.Sent(), Bytes{});
  EXPECT_TRUE(w.boxes.Messages.empty());
}

TEST(Periodic, ASendLongerThanTheIntervalIsNotEnteredAgainByTheNextTick) {
  SenderWindow w;
  TForm5& f = *w.form;
  w.Open(1);
  f.EditASCII->setText(QStringLiteral("065066067"));
  f.EditSleep->setText(QStringLiteral("100"));  // 300 ms per send
  f.EditInterval->setText(QStringLiteral("100"));
  f.SpeedButton1->click();
  for (int tick = 0; tick < 3; ++tick) {
    SCOPED_TRACE(tick);
    const uint32_t before = w.Now();
    w.clock->Advance(100);
    EXPECT_EQ(w.com1.Sent(), (Bytes{65, 66, 67}));
    EXPECT_EQ(w.Now() - before, 100u + 300u);
  }
}

TEST(Periodic, TicksGoOnDuringALoopStartedFromInsideATick) {
  SenderWindow w;
  TForm5& f = *w.form;
  w.Open(1);
  f.PageControl1->setCurrentWidget(f.TabSheetOmron);
  f.EditInterval->setText(QStringLiteral("1000"));
  f.SpeedButton1->click();
  // The press of "Loop" waits in the queue and runs inside the first tick's message processing.
  QMetaObject::invokeMethod(f.SpeedButtonLoop, "click", Qt::QueuedConnection);
  platform::ToolkitTimer stopper;
  stopper.OnTimer = [&] {
    stopper.SetEnabled(false);
    f.SpeedButtonLoop->click();
  };
  stopper.SetInterval(20000);
  stopper.SetEnabled(true);
  w.clock->Advance(1000);
  EXPECT_FALSE(f.View().LoopRunning);
  // Each tick sends the frame of what EditOmron holds at that moment; between the loop's steps
  // that is its last command, so count every frame: the loop's 13 and the ticks' besides.
  const Bytes sent = w.com1.Sent();
  size_t frames = 0;
  for (size_t i = 0; i + 1 < sent.size(); ++i) {
    if (sent[i] == kDle && sent[i + 1] == kStx) ++frames;
  }
  EXPECT_GE(frames, 13u + 15u);
}

}  // namespace
