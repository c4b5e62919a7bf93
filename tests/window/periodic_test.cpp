#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <chrono>
#include <string>

#include "expected_texts.h"
#include "senders/omron_frame.h"
#include "window_rig.h"

namespace {

const std::string kChoosePort = Cp(expected::kChoosePort);

class Periodic : public SenderTest {};

// With no port chosen every tick that runs shows the box once, so the boxes count the ticks.
TEST_F(Periodic, PressTogglesTheTimerAndTakesTheIntervalWhenItConverts) {
  TForm5& f = *form;
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
    EXPECT_EQ(f.SpeedButton1->text(), press.on ? QString::fromUtf8(expected::kStop)
                                               : QString::fromUtf8(expected::kPeriodic));
    boxes.Messages.clear();
    for (uint32_t ms = 0; ms < press.wait; ++ms) clock->Advance(1);
    EXPECT_EQ(boxes.Messages.size(), press.ticks);
  }
  EXPECT_FALSE(f.Timer1.Enabled());
}

TEST_F(Periodic, TicksWhileTheChoosePortBoxIsShowingAreSkippedAndTheTimerStaysOn) {
  TForm5& f = *form;
  int depth = 0;
  boxes.OnShow = [&](const std::string&) {
    // The box's own message loop keeps delivering ticks while it is open.
    if (++depth == 1) {
      for (int i = 0; i < 5; ++i) clock->Advance(800);
    }
    --depth;
  };
  f.SpeedButton1->click();
  for (size_t tick = 1; tick <= 3; ++tick) {
    clock->Advance(800);
    EXPECT_THAT(boxes.Messages, testing::Each(kChoosePort));
    EXPECT_EQ(boxes.Messages.size(), tick);
    EXPECT_TRUE(f.TimerSensor.Enabled());
  }
}

TEST_F(Periodic, EachTickSendsWhatTheActiveTabAndChosenPortSendNow) {
  TForm5& f = *form;
  Open(1);
  Open(2);  // chosen
  f.EditASCII->setText(QStringLiteral("065066"));
  f.EditOmron->setText(QStringLiteral("C20"));
  f.EditInterval->setText(QStringLiteral("100"));
  f.SpeedButton1->click();

  clock->Advance(100);
  EXPECT_EQ(Sent(2), (Bytes{65, 66}));
  f.PageControl1->setCurrentWidget(f.TabSheetOmron);
  clock->Advance(100);
  EXPECT_EQ(Sent(2), OmronFrame("C20", false));
  Choose(1);
  clock->Advance(100);
  EXPECT_EQ(Sent(1), OmronFrame("C20", false));
  f.PageControl1->setCurrentWidget(f.TabSheetASCII);
  clock->Advance(100);
  EXPECT_EQ(Sent(1), (Bytes{65, 66}));
  EXPECT_EQ(Sent(2), Bytes{});
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(Periodic, ASendLongerThanTheIntervalIsNotEnteredAgainByTheNextTick) {
  TForm5& f = *form;
  Open(1);
  f.EditASCII->setText(QStringLiteral("065066067"));
  f.EditSleep->setText(QStringLiteral("100"));  // 300 ms per send
  f.EditInterval->setText(QStringLiteral("100"));
  f.SpeedButton1->click();
  for (int tick = 0; tick < 3; ++tick) {
    SCOPED_TRACE(tick);
    const uint32_t before = Now();
    clock->Advance(100);
    EXPECT_EQ(Sent(1), (Bytes{65, 66, 67}));
    EXPECT_EQ(Now() - before, 100u + 300u);
  }
}

TEST_F(Periodic, TicksGoOnDuringALoopStartedFromInsideATick) {
  TForm5& f = *form;
  Open(1);
  f.PageControl1->setCurrentWidget(f.TabSheetOmron);
  f.EditInterval->setText(QStringLiteral("1000"));
  f.SpeedButton1->click();
  // The press of "Loop" waits in the queue and runs inside the first tick's message processing.
  QMetaObject::invokeMethod(f.SpeedButtonLoop, "click", Qt::QueuedConnection);
  platform::ToolkitTimer stopper(Clock());
  stopper.OnTimer = [&] {
    stopper.SetEnabled(false);
    f.SpeedButtonLoop->click();
  };
  stopper.SetInterval(20000);
  stopper.SetEnabled(true);
  clock->Advance(1000);
  EXPECT_FALSE(form->View().LoopRunning);
  // Each tick sends the frame of what EditOmron holds at that moment; between the loop's steps
  // that is its last command, so count every frame: the loop's 13 and the ticks' besides.
  const Bytes sent = Sent(1);
  size_t frames = 0;
  for (size_t i = 0; i + 1 < sent.size(); ++i) {
    if (sent[i] == kDle && sent[i + 1] == kStx) ++frames;
  }
  EXPECT_GE(frames, 13u + 15u);
}

// The same on the real clock, where the toolkit decides whether a tick gets through while the
// handler of an earlier one runs. The first tick finds no port chosen; its box chooses one and
// queues the press of "Loop", which then runs inside the tick's message processing. The loop
// is stopped once three ticks have sent their frame besides the loop's own, or after 30 s.
class PeriodicOnTheRealClock : public WindowTest {
 protected:
  PeriodicOnTheRealClock() {
    Drain(1);
    Create();
  }
};

TEST_F(PeriodicOnTheRealClock, TicksGoOnDuringALoopStartedFromInsideATick) {
  WindowRig& w = *this;
  TForm5& f = *w.form;
  w.Open(1);
  f.ComboBox1->setCurrentIndex(-1);
  f.PageControl1->setCurrentWidget(f.TabSheetOmron);
  w.boxes.OnShow = [&](const std::string&) {
    if (w.boxes.Messages.size() > 1) return;
    w.Choose(1);
    QMetaObject::invokeMethod(f.SpeedButtonLoop, "click", Qt::QueuedConnection);
  };
  size_t frames = 0, enquiries = 0, ticksBesides = 0;
  bool started = false;
  QElapsedTimer since;
  since.start();
  platform::ToolkitTimer observer(w.Clock());
  observer.OnTimer = [&] {
    if (!f.View().LoopRunning) return;
    started = true;
    const Bytes sent = w.Sent(1);
    for (size_t i = 0; i + 1 < sent.size(); ++i) {
      if (sent[i] == kDle && sent[i + 1] == kStx) ++frames;
      if (sent[i] == kDle && sent[i + 1] == kEnq) ++enquiries;
    }
    // Each frame of the loop is followed by DLE ENQ; the latest may still wait for it.
    ticksBesides = frames > enquiries + 1 ? frames - enquiries - 1 : 0;
    if (ticksBesides >= 3 || since.elapsed() > 30000) f.SpeedButtonLoop->click();
  };
  observer.SetInterval(20);
  observer.SetEnabled(true);
  f.EditInterval->setText(QStringLiteral("50"));
  f.SpeedButton1->click();
  ASSERT_TRUE(
      WaitUntil([&] { return started && !f.View().LoopRunning; }, std::chrono::seconds(90)));
  f.SpeedButton1->click();
  observer.SetEnabled(false);
  EXPECT_GE(ticksBesides, 3u) << frames << " frames, " << enquiries << " DLE ENQ";
  EXPECT_THAT(w.boxes.Messages, testing::ElementsAre(kChoosePort));
}

}  // namespace
