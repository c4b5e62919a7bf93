#include "platform/serial_device.h"

#include <gtest/gtest.h>

#include <chrono>

#include "pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

// A peer that reads nothing: the first byte without room waits for it once, the rest of
// the send is dropped at once, and the port carries bytes again once the peer drains it.
TEST(SerialDevice, SendOnAStalledPortIsBoundedAndRecovers) {
  PtyPair pty;
  const platform::PortHandle h = platform::OpenExclusive(pty.SlavePath());
  ASSERT_TRUE(h.IsOpen());
  EXPECT_TRUE(platform::OpenExclusive(pty.SlavePath()).IsInvalid());
  const auto start = Clock::now();
  for (int i = 0; i < 400000; ++i) platform::TransmitByte(h, 'a');
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(1500));
  EXPECT_LT(elapsed, std::chrono::seconds(20));

  const size_t queued = pty.ReadAvailable().size();
  EXPECT_GT(queued, 0u);
  EXPECT_LT(queued, 400000u);
  platform::TransmitByte(h, 'Z');
  EXPECT_EQ(pty.ReadExactly(1), std::vector<uint8_t>{'Z'});
  platform::Close(h);
}

}  // namespace
