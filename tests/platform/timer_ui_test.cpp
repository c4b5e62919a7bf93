#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <thread>

#include "expected_texts.h"
#include "platform/text/cp1254.h"
#include "platform/text/int_conv.h"
#include "platform/thread/quit_request.h"
#include "platform/time/qt_clock.h"
#include "platform/time/ticks.h"
#include "platform/time/toolkit_timer.h"
#include "test_support.h"
#include "window/message_boxes.h"

namespace {

using platform::ToolkitTimer;

// Runs seen each time an event of the given type is about to be handled, anywhere.
class EventSpy : public QObject {
 public:
  EventSpy(QEvent::Type type, std::function<void()> seen) : type_(type), seen_(std::move(seen)) {
    QCoreApplication::instance()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type_) seen_();
    return false;
  }

 private:
  QEvent::Type type_;
  std::function<void()> seen_;
};

TEST(Ticks, RealCounterMovesForward) {
  const uint32_t start = platform::GetTickCount();
  EXPECT_TRUE(WaitUntil([&] { return platform::GetTickCount() - start >= 3; }));
  EXPECT_LT(platform::GetTickCount() - start, 0x80000000u);
}

struct Counted {
  ToolkitTimer timer;
  int ticks = 0;
  explicit Counted(platform::Clock& clock) : timer(clock) {
    timer.OnTimer = [this] { ++ticks; };
  }
};

TEST(ToolkitTimer, RestartsOnlyWhenFlagOrPeriodChanges) {
  ManualClock clock;
  Counted t(clock);
  EXPECT_FALSE(t.timer.Enabled());
  EXPECT_EQ(t.timer.Interval(), 1000);
  t.timer.SetInterval(100);
  t.timer.SetEnabled(true);
  clock.Advance(60);
  t.timer.SetEnabled(true);  // unchanged: the countdown goes on
  t.timer.SetInterval(100);
  clock.Advance(39);
  EXPECT_EQ(t.ticks, 0);
  clock.Advance(1);
  EXPECT_EQ(t.ticks, 1);
  clock.Advance(60);
  t.timer.SetInterval(200);  // changed: a full new period from here
  clock.Advance(199);
  EXPECT_EQ(t.ticks, 1);
  clock.Advance(1);
  EXPECT_EQ(t.ticks, 2);
  t.timer.SetEnabled(false);
  clock.Advance(1000);
  EXPECT_EQ(t.ticks, 2);
  t.timer.SetEnabled(true);
  clock.Advance(199);
  EXPECT_EQ(t.ticks, 2);
  clock.Advance(1);
  EXPECT_EQ(t.ticks, 3);
  clock.Advance(5000);  // a late check fires once, and the next period starts there
  EXPECT_EQ(t.ticks, 4);
  clock.Advance(199);
  EXPECT_EQ(t.ticks, 4);
}

TEST(ToolkitTimer, PeriodZeroOrLessIsEnabledWithoutTicks) {
  ManualClock clock;
  Counted t(clock);
  for (int32_t period : {0, -5}) {
    t.timer.SetInterval(period);
    t.timer.SetEnabled(true);
    EXPECT_TRUE(t.timer.Enabled());
    clock.Advance(100000);
    EXPECT_EQ(t.ticks, 0) << period;
  }
  t.timer.SetInterval(10);  // enabled all along: the countdown starts with the period
  clock.Advance(10);
  EXPECT_EQ(t.ticks, 1);
}

TEST(ToolkitTimer, CountsAcrossTheWrapOfTheTickCounter) {
  ManualClock clock(0xFFFFFF00u);
  Counted t(clock);
  t.timer.SetInterval(0x200);
  t.timer.SetEnabled(true);
  clock.Advance(0x1FF);
  EXPECT_EQ(t.ticks, 0);
  clock.Advance(1);
  EXPECT_EQ(t.ticks, 1);
}

TEST(ToolkitTimer, HandlerMayDestroyItsOwnOrAnotherDueTimer) {
  ManualClock clock;
  Counted killer(clock);
  auto victim = std::make_unique<Counted>(clock);
  killer.timer.OnTimer = [&] {
    ++killer.ticks;
    victim.reset();
  };
  for (ToolkitTimer* timer : {&killer.timer, &victim->timer}) {
    timer->SetInterval(10);
    timer->SetEnabled(true);
  }
  clock.Advance(10);
  EXPECT_EQ(killer.ticks, 1);
  EXPECT_EQ(victim, nullptr);
  clock.Advance(10);
  EXPECT_EQ(killer.ticks, 2);

  auto self = std::make_unique<ToolkitTimer>(clock);
  std::string seen;
  self->OnTimer = [&self, &seen, tag = std::string(64, 'x')] {
    self.reset();
    seen = tag;  // the handler still has its own state after its timer is gone
  };
  self->SetInterval(10);
  self->SetEnabled(true);
  clock.Advance(10);
  EXPECT_EQ(seen, std::string(64, 'x'));
  EXPECT_EQ(self, nullptr);
}

TEST(ToolkitTimer, RealTimerTicksAndRepeatedEnableDoesNotPostponeIt) {
  platform::QtClock clock;
  Counted t(clock);
  t.timer.SetInterval(30);
  t.timer.SetEnabled(true);
  // A QTimer restarted this often would never fire.
  EXPECT_TRUE(WaitUntil([&] {
    t.timer.SetEnabled(true);
    t.timer.SetInterval(30);
    return t.ticks >= 3;
  }));
  t.timer.SetEnabled(false);
  const int ticks = t.ticks;
  clock.ProcessMessagesFor(100);
  EXPECT_EQ(t.ticks, ticks);
}

// The toolkit never delivers a timer again while its event is being handled; the real clock's
// ticks come from an event of their own, so a handler that handles messages gets the next one.
TEST(ToolkitTimer, RealTimerTicksAgainWhileItsHandlerHandlesMessages) {
  platform::QtClock clock;
  ToolkitTimer timer(clock);
  int depth = 0, nested = 0;
  timer.OnTimer = [&] {
    if (++depth == 1) {
      EXPECT_TRUE(WaitUntil([&] { return nested >= 3; }));
    } else {
      ++nested;
    }
    --depth;
  };
  timer.SetInterval(5);
  timer.SetEnabled(true);
  EXPECT_TRUE(WaitUntil([&] { return nested >= 3 && depth == 0; }));
}

TEST(ToolkitTimer, RealTimerHandlerMayDestroyItsOwnTimer) {
  platform::QtClock clock;
  auto self = std::make_unique<ToolkitTimer>(clock);
  std::string seen;
  self->OnTimer = [&self, &seen, tag = std::string(64, 'x')] {
    self.reset();
    seen = tag;
  };
  self->SetInterval(5);
  self->SetEnabled(true);
  ASSERT_TRUE(WaitUntil([&] { return self == nullptr; }));
  EXPECT_EQ(seen, std::string(64, 'x'));
}

// A tick on its way to the handler is dropped when its timer stops or starts anew first.
TEST(ToolkitTimer, RealTickWaitingWhenTheTimerStopsOrRestartsIsDropped) {
  platform::QtClock clock;
  for (const bool restart : {false, true}) {
    Counted t(clock);
    int seen = 0;
    EventSpy spy(platform::TimerTickEventType(), [&] {
      if (++seen > 1) return;
      if (restart) {
        t.timer.SetInterval(60000);
      } else {
        t.timer.SetEnabled(false);
      }
    });
    t.timer.SetInterval(5);
    t.timer.SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return seen >= 1; })) << restart;
    EXPECT_EQ(t.ticks, 0) << restart;
  }
}

TEST(UiServices, GuardedShowsErrorsInTheMessageBox) {
  MessageBoxCapture boxes;
  boxes.Guarded([] {});
  boxes.Guarded([] { platform::StrToInt("x"); });
  boxes.Guarded([] { throw std::runtime_error(platform::Cp1254("Dosya yazılamadı")); });
  boxes.Guarded([] { throw 42; });
  boxes.Show(platform::Cp1254("Lütfen"));
  EXPECT_EQ(boxes.Messages,
            (std::vector<std::string>{"'x' is not a valid integer value",
                                      platform::Cp1254("Dosya yazılamadı"), expected::kUnknownError,
                                      platform::Cp1254("Lütfen")}));
}

TEST(QtClock, ProcessMessagesForWaitsInTheEventLoopWithoutSpinning) {
  platform::QtClock clock;
  int fired = 0;
  QTimer::singleShot(20, [&] { ++fired; });
  timespec cpu0{}, cpu1{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu0);
  QElapsedTimer wall;
  wall.start();
  clock.ProcessMessagesFor(300);
  const qint64 elapsed = wall.elapsed();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu1);
  const double cpuMs = (cpu1.tv_sec - cpu0.tv_sec) * 1e3 + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e6;
  EXPECT_GE(elapsed, 299);
  EXPECT_EQ(fired, 1);
  EXPECT_LT(cpuMs, 150.0);
}

TEST(QtClock, ProcessMessagesForEndsEarlyWhenTheProgramIsToEnd) {
  platform::QtClock clock;
  QTimer::singleShot(10, [] { platform::RequestQuit(); });
  QElapsedTimer wall;
  wall.start();
  clock.ProcessMessagesFor(60000);
  const bool quit = platform::QuitRequested();
  platform::ResetQuitRequest();
  EXPECT_TRUE(quit);
  EXPECT_LT(wall.elapsed(), 30000);
}

}  // namespace
