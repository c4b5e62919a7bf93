#include "platform/devices/serial_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/devices/port_advice.h"
#include "platform/devices/port_drains.h"
#include "platform/devices/serial_posix_detail.h"
#include "pty_pair.h"
#include "serial/ComUtils.h"
#include "serial_test_support.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::PortError;

// A peer that reads nothing: the first byte without room waits for it once, the rest of
// the send is dropped at once, and the port carries bytes again once the peer drains it.
TEST(SerialDevice, SendOnAStalledPortIsBoundedAndRecovers) {
  PtyPair pty;
  const platform::PortHandle h = platform::OpenExclusive(pty.SlavePath());
  ASSERT_TRUE(h.IsOpen());
  EXPECT_TRUE(platform::OpenExclusive(pty.SlavePath()).IsInvalid());
  bool stalled = false;
  const auto start = Clock::now();
  for (int i = 0; i < 400000; ++i) platform::TransmitByte(h, 'a', stalled);
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(1500));
  EXPECT_LT(elapsed, std::chrono::seconds(20));
  EXPECT_TRUE(stalled);

  // The flag is the port's own: another port on the same process sends at once.
  PtyPair other;
  const platform::PortHandle free = platform::OpenExclusive(other.SlavePath());
  bool otherStalled = false;
  platform::TransmitByte(free, 'f', otherStalled);
  EXPECT_EQ(other.ReadExactly(1), std::vector<uint8_t>{'f'});
  EXPECT_FALSE(otherStalled);
  platform::Close(free);

  const size_t queued = pty.ReadAvailable().size();
  EXPECT_GT(queued, 0u);
  EXPECT_LT(queued, 400000u);
  platform::TransmitByte(h, 'Z', stalled);
  EXPECT_EQ(pty.ReadExactly(1), std::vector<uint8_t>{'Z'});
  EXPECT_FALSE(stalled);
  platform::Close(h);
}

// Why a device cannot be had, in what only this system has. Tests run as root, so a forbidden
// device is reached through the one place where the system's error codes are mapped.
TEST(SerialDevice, AnOpenThatFailsSaysWhy) {
  const struct {
    int err;
    PortError error;
  } codes[] = {{ENOENT, PortError::NoSuchDevice},    {ENXIO, PortError::NoSuchDevice},
               {EIO, PortError::NoSuchDevice},       {EACCES, PortError::PermissionDenied},
               {EPERM, PortError::PermissionDenied}, {EBUSY, PortError::Busy},
               {EWOULDBLOCK, PortError::Busy},       {ENOTTY, PortError::NotSerial},
               {EISDIR, PortError::NotSerial},       {ENOMEM, PortError::Other}};
  for (const auto& row : codes)
    EXPECT_EQ(platform::PortErrorFromErrno(row.err), row.error) << row.err;

  TempAppDir dir;
  const std::string fifo = dir.Path() + "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  PtyPair exclusive, locked, ours;
  // Another program that took the port exclusively without a lock of ours.
  const int other = open(exclusive.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
  // A program that locked it the traditional way; this live process stands for it.
  const auto lockFileOf = [](const PtyPair& pty) {
    std::string lockFile = "/var/lock/LCK.." + pty.SlavePath().substr(5);
    for (size_t i = 15; i < lockFile.size(); ++i) {
      if (lockFile[i] == '/') lockFile[i] = '_';
    }
    return lockFile;
  };
  const auto writeLockFile = [](const std::string& lockFile, pid_t pid) {
    FILE* f = std::fopen(lockFile.c_str(), "w");
    if (f == nullptr) return false;
    std::fprintf(f, "%10d\n", static_cast<int>(pid));
    return std::fclose(f) == 0;
  };
  const std::string lockFile = lockFileOf(locked);
  mkdir("/var/lock", 0755);
  // A killed program's lock file for the same terminal number would let root take the flag.
  std::remove(lockFileOf(exclusive).c_str());
  ASSERT_TRUE(writeLockFile(lockFile, getpid())) << lockFile;
  const platform::PortHandle held = platform::OpenExclusive(ours.SlavePath());
  ASSERT_TRUE(held.IsOpen());

  const struct {
    std::string path;
    PortError error;
  } paths[] = {{fifo, PortError::NotSerial},
               {"/dev/null", PortError::NotSerial},
               {exclusive.SlavePath(), PortError::Busy},
               {locked.SlavePath(), PortError::Busy},
               {ours.SlavePath(), PortError::Busy}};
  for (const auto& row : paths) {
    const platform::PortHandle h = platform::OpenExclusive(row.path);
    EXPECT_TRUE(h.IsInvalid()) << row.path;
    EXPECT_EQ(h.Error(), row.error) << row.path;
  }
  std::remove(lockFile.c_str());
  const platform::PortHandle unlocked = platform::OpenExclusive(locked.SlavePath());
  EXPECT_TRUE(unlocked.IsOpen()) << "a lock file of an ended process, or none, holds nothing";
  platform::Close(unlocked);
  platform::Close(held);
  close(other);

  // A WireLab killed on a terminal that socat keeps open leaves its exclusive flag there, and
  // its lock file naming a process that has ended. Root takes the port over and gives it back
  // with the flag cleared; anyone else is told whose flag it is and how to clear it.
  PtyPair left;
  const int keeper = open(left.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(ioctl(keeper, TIOCEXCL), 0);
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
  ASSERT_TRUE(writeLockFile(lockFileOf(left), ended));
  const std::string advice = platform::StaleHoldText(left.SlavePath(), platform::Language::English);
  EXPECT_NE(advice.find("(pid " + std::to_string(ended) + ", named in its lock file)"),
            std::string::npos)
      << advice;
  EXPECT_NE(advice.find("kept open by "), std::string::npos) << advice;
  EXPECT_NE(advice.find("sudo wirelab-cli --port 1=" + left.SlavePath()), std::string::npos);
  const platform::PortHandle taken = platform::OpenExclusive(left.SlavePath());
  ASSERT_TRUE(taken.IsOpen());
  platform::Close(taken);
  int flag = -1;
  EXPECT_EQ(ioctl(keeper, TIOCGEXCL, &flag), 0);
  EXPECT_EQ(flag, 0);
  struct stat lockStat {};
  EXPECT_NE(stat(lockFileOf(left).c_str(), &lockStat), 0) << "the lock file goes with the port";
  close(keeper);
}

// Opening asks whether the port is held and leaves its modem lines alone.
TEST(SerialDevice, OpeningMakesNoModemLineCall) {
  PtyPair pty;
  std::vector<unsigned long> requests;
  const platform::PortHandle h =
      OpenComDevice(pty.SlavePath(), "com1:9600,n,8,1", true,
                    [&](unsigned long request) { requests.push_back(request); });
  ASSERT_TRUE(h.IsOpen());
  EXPECT_NE(std::find(requests.begin(), requests.end(), TIOCGEXCL), requests.end());
  for (const unsigned long modem : {TIOCMBIS, TIOCMBIC, TIOCMSET}) {
    EXPECT_EQ(std::find(requests.begin(), requests.end(), modem), requests.end()) << modem;
  }
  platform::Close(h);
}

// A peer that has not read yet still gets every byte sent before the port was closed.
TEST(SerialDevice, ClosingKeepsWhatThePeerHasNotReadYet) {
  PtyPair pty;
  const platform::PortHandle h = platform::OpenExclusive(pty.SlavePath());
  std::vector<uint8_t> sent;
  for (int i = 0; i < 20000 && sent.size() < 20000; ++i) {
    const uint8_t byte = static_cast<uint8_t>('a' + i % 26);
    if (write(platform::detail::Descriptor(h), &byte, 1) != 1)
      break;  // the pty is full: that is enough
    sent.push_back(byte);
  }
  ASSERT_GT(sent.size(), 4096u);
  platform::PortDrains drains;
  const auto start = Clock::now();
  drains.Close(h);
  drains.AwaitDrainOf(pty.SlavePath());
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(platform::kMaxDrainMs));
  EXPECT_EQ(pty.ReadExactly(sent.size()), sent);
}

TEST(SerialDevice, QueuedOutputMayDrainForAsLongAsItsBytesNeedWithinABound) {
  const struct {
    size_t queued;
    uint32_t baud, bits, bound;
  } rows[] = {{0, 9600, 10, 0},       {960, 9600, 10, 1500},   {96, 9600, 11, 610},
              {2000, 9600, 10, 2583}, {20000, 9600, 10, 3000}, {100, 0, 10, 3000},
              {4095, 921600, 10, 544}};
  for (const auto& row : rows) {
    EXPECT_EQ(platform::DrainBoundMs(row.queued, row.baud, row.bits), row.bound) << row.queued;
  }
}

}  // namespace
