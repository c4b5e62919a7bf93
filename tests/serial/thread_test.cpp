#include "platform/thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <stdexcept>

#include "test_support.h"

namespace {

class Worker : public platform::TThread {
 public:
  Worker(bool suspended, std::function<void()> body) : TThread(suspended), body_(std::move(body)) {}
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
  std::make_unique<Worker>(false, [] {}).reset();
  Worker started(false, [] {});
  EXPECT_FALSE(started.ran);
  ASSERT_TRUE(WaitUntil([&] { return started.Finished(); }));
  EXPECT_TRUE(started.ran);
}

TEST(Thread, RunsBelowNormalPriorityAndFinishesWhenTheBodyThrows) {
  int nice = 0;
  Worker w(true, [&] {
    nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    throw std::runtime_error("body failed");
  });
  w.SetPriorityBelowNormal();
  w.Resume();
  ASSERT_TRUE(WaitUntil([&] { return w.Finished(); }));
  EXPECT_EQ(nice, 5);
}

// Forgets StopThread() in its destructor.
class Forgetful : public platform::TThread {
 public:
  explicit Forgetful(bool failConstruction) : TThread(true) {
    if (failConstruction) throw std::runtime_error("construction failed");
  }

 protected:
  void Execute() override {}
};

TEST(Thread, AStartedThreadLeftUnstoppedByItsSubclassEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        Forgetful f(false);
        f.Resume();
        // Finished first: the race a forgotten stop opens would otherwise end the run under
        // ThreadSanitizer before the check does.
        WaitUntil([&] { return f.Finished(); });
      },
      "must call StopThread\\(\\) first");
  // Before the thread has run there is nothing to race: a subclass constructor may throw.
  EXPECT_THROW(Forgetful(true), std::runtime_error);
}

}  // namespace
