#include "platform/thread/thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <stdexcept>

#include "test_support.h"

namespace {

class Worker : public platform::TThread {
 public:
  Worker(platform::MainThreadCalls& calls, bool suspended, std::function<void()> body)
      : TThread(calls, suspended), body_(std::move(body)) {}
  ~Worker() override { StopThread(); }
  std::atomic<bool> ran{false};

 protected:
  void Execute() override {
    ran = true;
    body_();
  }

 private:
  std::function<void()> body_;
};

TEST(Thread, CreatedRunningStartsOnceConstructionIsOverUnlessDestroyedFirst) {
  platform::MainThreadCalls calls;
  std::make_unique<Worker>(calls, false, [] {}).reset();
  Worker started(calls, false, [] {});
  EXPECT_FALSE(started.ran);
  ASSERT_TRUE(WaitUntil([&] { return started.Finished(); }));
  EXPECT_TRUE(started.ran);
}

TEST(Thread, RunsBelowNormalPriorityAndFinishesWhenTheBodyThrows) {
  platform::MainThreadCalls calls;
  int nice = 0;
  Worker w(calls, true, [&] {
    nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    throw std::runtime_error("body failed");
  });
  w.SetPriorityBelowNormal();
  w.Resume();
  ASSERT_TRUE(WaitUntil([&] { return w.Finished(); }));
  EXPECT_EQ(nice, 5);
}

// Has the main thread count one call, through the calls it was given.
class Caller : public platform::TThread {
 public:
  Caller(platform::MainThreadCalls& calls, int& ran) : TThread(calls, true), ran_(ran) { Resume(); }
  ~Caller() override { StopThread(); }

 protected:
  void Execute() override {
    Synchronize([this] { ++ran_; });
  }

 private:
  int& ran_;
};

// Nested holds keep their calls queued while events are processed, until the last release;
// threads given other calls go on meanwhile.
TEST(Thread, AHoldKeepsOnlyItsOwnCallsWaitingUntilTheLastRelease) {
  platform::MainThreadCalls held, other;
  held.Hold();
  held.Hold();
  int ranHeld = 0, ranOther = 0;
  Caller a(held, ranHeld), b(other, ranOther);
  ASSERT_TRUE(WaitUntil([&] { return ranOther == 1 && held.Pending() == 1; }));
  held.Release();
  held.RunPending();
  QCoreApplication::processEvents();
  EXPECT_EQ(ranHeld, 0);
  held.Release();
  EXPECT_TRUE(WaitUntil([&] { return ranHeld == 1; }));
  EXPECT_EQ(held.Pending(), 0u);
}

// Forgets StopThread() in its destructor.
class Forgetful : public platform::TThread {
 public:
  Forgetful(platform::MainThreadCalls& calls, bool failConstruction) : TThread(calls, true) {
    if (failConstruction) throw std::runtime_error("construction failed");
  }

 protected:
  void Execute() override {}
};

TEST(Thread, AStartedThreadLeftUnstoppedByItsSubclassEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  platform::MainThreadCalls calls;
  EXPECT_DEATH(
      {
        Forgetful f(calls, false);
        f.Resume();
        // Finished first: the race a forgotten stop opens would otherwise end the run under
        // ThreadSanitizer before the check does.
        WaitUntil([&] { return f.Finished(); });
      },
      "must call StopThread\\(\\) first");
  // Before the thread has run there is nothing to race: a subclass constructor may throw.
  EXPECT_THROW(Forgetful(calls, true), std::runtime_error);
}

}  // namespace
