#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>

#include "platform/devices/serial_device.h"
#include "platform/text/int_conv.h"
#include "pty_pair.h"
#include "serial/CommObjects.h"
#include "serial_test_support.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits until the polling loop has finished two more idle waits, so that at least one whole
// idle pass (its time-out check included) began after the call.
void WaitIdlePasses(const TRealCom& com) {
  const uint64_t from = com.IdlePolls();
  ASSERT_TRUE(WaitUntil([&] { return com.IdlePolls() >= from + 2; }));
}

class RealComTest : public testing::Test {
 protected:
  std::unique_ptr<TRealCom> Open(bool resume = true, const platform::TickSource* ticks = nullptr) {
    auto com = std::make_unique<TRealCom>(calls, true, nullptr, 1, "9600,n,8,1", devices);
    if (ticks != nullptr) com->UseTicks(*ticks);
    com->OnReceive = [this](TPeripheral* sender, uint8_t value) {
      received.push_back(value);
      senders.push_back(sender);
      idleAt.push_back(static_cast<TRealCom*>(sender)->IdlePolls());
      if (onByte) onByte(value);
    };
    com->OnTimeout = [this] { ++timeouts; };
    if (resume) com->Resume();
    return com;
  }
  bool Received(size_t n) {
    return WaitUntil([&] { return received.size() >= n; });
  }

  platform::MainThreadCalls calls;
  PtyPair pty;
  platform::ComDevices devices = [this] {
    platform::ComDevices map;
    map.Set(1, pty.SlavePath());
    return map;
  }();
  std::string received;
  std::vector<TPeripheral*> senders;
  std::vector<uint64_t> idleAt;
  std::function<void(uint8_t)> onByte;
  int timeouts = 0;
};

TEST_F(RealComTest, BurstArrivesOneCallPerByteInOrderWithoutAnIdleWait) {
  auto com = Open();
  pty.Write("A");
  ASSERT_TRUE(Received(1));
  pty.Write(std::string("x\0\3", 3));
  ASSERT_TRUE(Received(4));
  EXPECT_EQ(received, std::string("Ax\0\3", 4));
  EXPECT_EQ(senders, std::vector<TPeripheral*>(4, com.get()));
  EXPECT_EQ(idleAt[1], idleAt[3]);
  EXPECT_EQ(com->RxByte(), 3);
}

TEST_F(RealComTest, SendsGoOutOnTheRootPortAndNowhereWithoutOne) {
  auto com = Open(false);
  TPeripheral child(calls, true, com.get(), 0), lone(calls, true, nullptr, 0);
  const uint8_t buffer[] = {'X', 'Y', '\n', 'W'};
  for (TPeripheral* via : {static_cast<TPeripheral*>(com.get()), &child}) {
    for (const int32_t count : {0, -1, 3}) {
      via->SendBuffer(nullptr, buffer, count);
      via->SendByte(nullptr, '!');
      lone.SendBuffer(nullptr, buffer, count);
      lone.SendByte(nullptr, '?');
    }
  }
  const std::string sent = "!!XY\n!!!XY\n!";
  EXPECT_EQ(pty.ReadExactly(sent.size()), std::vector<uint8_t>(sent.begin(), sent.end()));
}

TEST_F(RealComTest, RaisingHandlerEndsDeliveryQuietly) {
  onByte = [](uint8_t v) {
    if (v == 'B') throw std::runtime_error("handler failed");
  };
  auto com = Open();
  pty.Write("A");
  ASSERT_TRUE(Received(1));
  pty.Write("BCD");
  ASSERT_TRUE(WaitUntil([&] { return com->Finished(); }));
  pty.Write("E");
  calls.RunPending();
  EXPECT_EQ(received, "AB");
}

// A delivery handed over but not yet run is dropped when its object is destroyed, also in
// the window's close sequence (suspend, then destroy); one whose own handler destroys the
// object ends with that byte.
TEST_F(RealComTest, DestroyingNeverRunsADeliveryAfterwards) {
  for (const bool suspendFirst : {false, true}) {
    received.clear();
    auto com = Open();
    pty.Write("abc");
    ASSERT_TRUE(WaitWithoutEvents([&] { return calls.Pending() > 0; }));
    if (suspendFirst) com->Suspend();
    com.reset();
    EXPECT_EQ(calls.Pending(), 0u);
    calls.RunPending();
    EXPECT_EQ(received, "");
  }

  auto com = Open();
  onByte = [&](uint8_t) { com.reset(); };
  pty.Write("xyz");
  ASSERT_TRUE(WaitUntil([&] { return com == nullptr; }));
  EXPECT_EQ(received, "x");
}

// A hung-up device, one held by another port and no device at all: the loop goes on
// polling at its idle pace, sends are lost quietly, and destruction does not wait.
TEST_F(RealComTest, PortsWithoutAWorkingDeviceNeitherSpinNorBlock) {
  auto live = Open();
  auto held = Open();
  pty.Write("a");
  ASSERT_TRUE(Received(1));
  pty.CloseMaster();
  auto none = std::make_unique<TRealCom>(calls, false, nullptr, 0, "");
  if (SecondOpenRefused()) {
    EXPECT_TRUE(held->PortHandle().IsInvalid());
  }
  EXPECT_TRUE(none->PortHandle().IsNone());
  for (std::unique_ptr<TRealCom>* com : {&live, &held, &none}) {
    const uint64_t from = (*com)->IdlePolls();
    const auto start = Clock::now();
    ASSERT_TRUE(WaitUntil([&] { return (*com)->IdlePolls() >= from + 8; }));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
    (*com)->SendByte(nullptr, 'x');
    com->reset();
  }
}

// Unplugging hangs the line up and removes the device's name; a device that comes back under
// that name is reopened by itself and carries bytes both ways again.
TEST_F(RealComTest, AnUnpluggedDeviceIsGoneUntilOneComesBackUnderItsName) {
  auto plug = std::make_unique<PtyPair>("rig");
  devices.Set(1, plug->NamedPath());
  auto com = Open();
  int changes = 0;
  com->OnDeviceChange = [&] { ++changes; };
  plug->Write("a");
  ASSERT_TRUE(Received(1));
  plug.reset();
  ASSERT_TRUE(WaitUntil([&] { return com->Problem() == platform::PortError::Gone; }));
  plug = std::make_unique<PtyPair>("rig");
  ASSERT_TRUE(WaitUntil([&] { return com->Problem() == platform::PortError::None; }));
  plug->Write("b");
  ASSERT_TRUE(Received(2));
  com->SendByte(nullptr, 'c');
  EXPECT_EQ(plug->ReadExactly(1), std::vector<uint8_t>{'c'});
  EXPECT_EQ(received, "ab");
  EXPECT_EQ(changes, 2);
}

// Where the system's own check of the string takes it (Wine's refuses it before any field is
// converted).
TEST_F(RealComTest, ConversionErrorEndsConstructionAndFreesTheDevice) {
  TPeripheral parent(calls, true, nullptr, 0);
  if (platform::SystemAcceptsModeString("com1:9600")) {
    try {
      TRealCom com(calls, true, &parent, 1, "9600", devices);
      ADD_FAILURE() << "constructed";
    } catch (const platform::ConvertError& e) {
      EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
  }
  EXPECT_TRUE(parent.Children().empty());
  auto com = Open();
  EXPECT_TRUE(com->PortHandle().IsOpen());
}

// Time-outs run on the manual clock, armed where the arithmetic is most likely to break:
// just before the 32-bit wrap and before the sign change at 2^31.
class TimeoutTest : public RealComTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(TimeoutTest, FiresOnceAfterTheSilenceUntilRearmed) {
  ManualClock clock(GetParam() - 1000000);
  auto com = Open(true, &clock);
  pty.Write("p");
  ASSERT_TRUE(Received(1));
  WaitIdlePasses(*com);
  clock.Advance(1000000);
  WaitIdlePasses(*com);
  EXPECT_EQ(timeouts, 0);  // the initial time-out of -1 never fires

  com->SetTimeout(500);
  clock.Advance(500);
  WaitIdlePasses(*com);
  EXPECT_EQ(timeouts, 0);
  clock.Advance(1);
  ASSERT_TRUE(WaitUntil([&] { return timeouts == 1; }));
  clock.Advance(100000);
  WaitIdlePasses(*com);
  EXPECT_EQ(timeouts, 1);

  pty.Write("q");
  ASSERT_TRUE(Received(2));
  WaitIdlePasses(*com);
  clock.Advance(500);
  WaitIdlePasses(*com);
  EXPECT_EQ(timeouts, 1);
  clock.Advance(1);
  ASSERT_TRUE(WaitUntil([&] { return timeouts == 2; }));
  EXPECT_FALSE(com->Finished());
}

INSTANTIATE_TEST_SUITE_P(StartTicks, TimeoutTest,
                         testing::Values(100000u, 0xFFFFFF00u, 0x7FFFFF00u));

TEST(PeripheralDeadline, EndsTheLoopOnlyWhenTheSignedTickCountPassesIt) {
  platform::MainThreadCalls calls;
  struct Row {
    uint32_t ticks;
    int32_t deadline;
    bool ends;
  };
  const Row rows[] = {{0x80000010u, 2147483647, false},
                      {0xFFFFFFF0u, 2147483647, false},
                      {0x80000010u, 100, false},
                      {1000, 500, true},
                      {500, 500, false}};
  for (const Row& row : rows) {
    ManualClock clock(row.ticks);
    TRealCom com(calls, true, nullptr, 0, "");
    TPeripheral plain(calls, true, nullptr, 0);
    com.SetDeadline(row.deadline);
    plain.SetDeadline(row.deadline);
    com.UseTicks(clock);
    plain.UseTicks(clock);
    com.Resume();
    plain.Resume();
    if (row.ends) {
      EXPECT_TRUE(WaitUntil([&] { return com.Finished() && plain.Finished(); })) << row.ticks;
    } else {
      WaitIdlePasses(com);
      EXPECT_FALSE(com.Finished()) << row.ticks;
    }
  }
}

TEST(PeripheralTree, SetTimeoutArmsEveryAncestor) {
  platform::MainThreadCalls calls;
  ManualClock clock(5000);
  TRealCom root(calls, true, nullptr, 0, "");
  root.UseTicks(clock);  // the children take it from their parent
  TPeripheral mid(calls, true, &root, 0), leaf(calls, true, &mid, 0);
  leaf.SetTimeout(700);
  clock.Advance(10);
  mid.SetTimeout(300);
  EXPECT_EQ(std::make_pair(root.Timeout(), root.LastByteTick()), std::make_pair(300, 5010u));
  EXPECT_EQ(std::make_pair(mid.Timeout(), mid.LastByteTick()), std::make_pair(300, 5010u));
  EXPECT_EQ(std::make_pair(leaf.Timeout(), leaf.LastByteTick()), std::make_pair(700, 5000u));
}

// Each child handles the event held suspended, then the parent; a child's error resumes it,
// skips the rest and goes on outward.
TEST(PeripheralTree, EventsReachChildrenThenTheParent) {
  platform::MainThreadCalls calls;
  for (const bool timeout : {false, true}) {
    for (const bool firstFails : {false, true}) {
      TPeripheral parent(calls, true, nullptr, 0);
      TPeripheral first(calls, true, &parent, 0), second(calls, true, &parent, 0);
      std::string log;
      using Row = std::pair<TPeripheral*, char>;
      for (auto [p, name] :
           std::initializer_list<Row>{{&first, '1'}, {&second, '2'}, {&parent, 'P'}}) {
        p->Resume();
        const bool fail = firstFails && p == &first;
        p->OnTimeout = [&log, p = p, name = name, fail] {
          log += p->Suspended() ? name : '?';
          if (fail) throw std::runtime_error("child failed");
        };
        p->OnReceive = [h = p->OnTimeout](TPeripheral*, uint8_t) { h(); };
      }
      const auto deliver = [&] { timeout ? parent.DoTimeout() : parent.DoReceive(7); };
      if (firstFails) {
        EXPECT_THROW(deliver(), std::runtime_error);
      } else {
        deliver();
      }
      EXPECT_EQ(log, firstFails ? "1" : "12?");
      EXPECT_FALSE(first.Suspended() || second.Suspended());
    }
  }
}

TEST(PeripheralTree, StartWithParentChildrenResumeOnceAfterTheFirstPass) {
  platform::MainThreadCalls calls;
  TRealCom parent(calls, true, nullptr, 0, "");
  TPeripheral once(calls, true, &parent, 0), twice(calls, true, &parent, 0),
      never(calls, true, &parent, 0);
  once.StartWithParent = true;
  twice.StartWithParent = true;
  twice.Suspend();
  parent.Resume();
  WaitIdlePasses(parent);
  WaitIdlePasses(parent);
  EXPECT_FALSE(once.Suspended());
  EXPECT_TRUE(twice.Suspended());
  EXPECT_TRUE(never.Suspended());
}

TEST(PeripheralTree, DestroyedPeripheralsLeaveTheTree) {
  platform::MainThreadCalls calls;
  auto parent = std::make_unique<TPeripheral>(calls, true, nullptr, 0);
  auto child = std::make_unique<TPeripheral>(calls, true, parent.get(), 0);
  TPeripheral orphan(calls, true, parent.get(), 0);
  child.reset();
  EXPECT_EQ(parent->Children(), std::vector<TPeripheral*>{&orphan});
  parent.reset();
  EXPECT_EQ(orphan.Parent(), nullptr);
  orphan.SendByte(nullptr, 'x');
}

}  // namespace
