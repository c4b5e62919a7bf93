#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include "platform/devices/serial_posix_detail.h"
#include "platform/text/int_conv.h"
#include "pty_pair.h"
#include "serial/ComUtils.h"
#include "serial_test_support.h"
#include "test_support.h"

namespace {

using platform::PortHandle;

TEST(ModeString, AcceptsOnlyTheCommaFormUpTo255Characters) {
  const char* accepted[] = {"com1:9600,n,8,1",   "com2:19200,e,7,2", "com1:9600,N,8,1",
                            "com1:9600,o,8,1.5", "com1:110,M,5,2,x", "com1:300,S,6,1,P",
                            "com1:9600",         "com1:9600,e",      "com12:9600,n,8,1"};
  const char* refused[] = {"com1:",
                           "com1:abc,n,8,1",
                           "com1:9600,n,x,1",
                           "com1:9600,n,4,1",
                           "com1:9600,n,9,1",
                           "com1:9600,q,8,1",
                           "com1:9600,n,8,3",
                           "com1:9600,n,8,1.6",
                           "com1:9600,n,8,1,r",
                           "com1:9600,n,8,1,x,1",
                           "com1:9600,n,8,1,",
                           "com1:9600,,8,1",
                           "com1:0,n,8,1",
                           "com1:-9600,n,8,1",
                           "com1: 9600,n,8,1",
                           "com:9600,n,8,1",
                           "COM1:9600,n,8,1",
                           "lpt1:9600,n,8,1",
                           "com1:9600,\xDE,8,1",
                           "com1:960\xFD"};
  for (const char* mode : accepted) EXPECT_TRUE(ModeStringAccepted(mode)) << mode;
  for (const char* mode : refused) EXPECT_FALSE(ModeStringAccepted(mode)) << mode;
  EXPECT_FALSE(ModeStringAccepted(""));
  EXPECT_TRUE(ModeStringAccepted("com1:" + std::string(250, '9')));
  EXPECT_FALSE(ModeStringAccepted("com1:" + std::string(251, '9')));
  EXPECT_FALSE(ModeStringAccepted("com1:9600,n,8,1" + std::string(285, '1')));
}

struct LayRow {
  std::string mode;
  platform::Parity before;
  tcflag_t size, parity;  // expected CSIZE and PARENB|PARODD bits
  bool twoStop;
};

TEST(ModeFields, LaidOverThePortStateGiveTheNativeFlags) {
  const LayRow rows[] = {
      {"com2:19200,e,7,2", platform::Parity::None, CS7, PARENB, true},
      {"com1:9600,N,8,1", platform::Parity::Odd, CS8, PARENB | PARODD, false},
      {"com1:9600,o,8,1", platform::Parity::Even, CS8, PARENB, false},
      {"com1:9600,o,8,1", platform::Parity::None, CS8, 0, false},
      {"com1:9600,n,6,1.5", platform::Parity::Odd, CS6, 0, false},
  };
  for (const LayRow& row : rows) {
    platform::CommState state;
    state.ParityMode = row.before;
    state.Stop = row.twoStop ? platform::StopBits::One : platform::StopBits::Two;
    LayModeFields(ReadModeFields(row.mode), state);
    const platform::NativeLineRecord native = platform::BuildNativeRecord(state);
    EXPECT_EQ(native.cflag & CSIZE, row.size) << row.mode;
    EXPECT_EQ(native.cflag & (PARENB | PARODD), row.parity) << row.mode;
    EXPECT_EQ((native.cflag & CSTOPB) != 0, row.twoStop) << row.mode;
  }
}

class OpenComPortTest : public testing::Test {
 protected:
  termios Line() {
    termios t{};
    tcgetattr(slave.Fd(), &t);
    return t;
  }
  // Puts the line in a cooked, slow state that every opening must visibly change.
  void Prime(tcflag_t extraCflag) {
    termios t = Line();
    t.c_iflag |= ICRNL | IXON | BRKINT;
    t.c_oflag |= OPOST | ONLCR;
    t.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = (t.c_cflag & ~(CSTOPB | CRTSCTS)) | extraCflag;
    cfsetspeed(&t, B1200);
    tcsetattr(slave.Fd(), TCSANOW, &t);
  }

  PtyPair pty;
  SlaveView slave{pty.SlavePath()};
  platform::ComDevices devices = [this] {
    platform::ComDevices map;
    map.Set(1, pty.SlavePath());
    return map;
  }();
};

struct LineRow {
  std::string settings;
  uint32_t baud;
  speed_t speed;  // 0: no standard constant
  bool twoStop;
};

TEST_F(OpenComPortTest, SetsSpeedStopBitsAndARawLine) {
  const LineRow rows[] = {{"9600,n,8,1", 9600, B9600, false},
                          {"19200,e,7,2", 19200, B19200, true},
                          {"9600,n,8,1.5", 9600, B9600, false},
                          {"250000,N,8,2", 250000, 0, true}};
  for (const LineRow& row : rows) {
    Prime(row.twoStop ? 0 : CSTOPB);
    const PortHandle h = OpenComPort(devices, "com1:" + row.settings, true);
    platform::CommState state;
    ASSERT_TRUE(platform::GetCommState(h, state)) << row.settings;
    EXPECT_EQ(state.BaudRate, row.baud);
    const termios t = Line();
    if (row.speed != 0) {
      EXPECT_EQ(cfgetospeed(&t), row.speed) << row.settings;
    }
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, row.twoStop) << row.settings;
    EXPECT_EQ(t.c_iflag & (IGNBRK | BRKINT | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL |
                           IXON | IXOFF | IXANY),
              0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cc[VMIN] + t.c_cc[VTIME], 0);
    platform::Close(h);
  }
}

// A fifth field sets the flow control; without one the port keeps its hardware flow control.
TEST_F(OpenComPortTest, FlowControlIsTheFifthFieldsOrThePortsOwn) {
  using platform::FlowControl;
  const struct {
    tcflag_t primed;
    std::string settings;
    bool binary;
    bool hardware, software;
    FlowControl inForce;
  } rows[] = {
      {CRTSCTS, "19200,n,8,1", false, true, false, FlowControl::Hardware},
      {CRTSCTS, "19200,n,8,1", true, true, false, FlowControl::Hardware},
      {0, "19200,n,8,1", true, false, false, FlowControl::None},
      {0, "19200,n,8,1,p", true, true, false, FlowControl::Hardware},
      {CRTSCTS, "19200,n,8,1,X", true, false, true, FlowControl::XonXoff},
      {0, "19200,n,8,1,x", false, false, true, FlowControl::XonXoff},
  };
  for (const auto& row : rows) {
    Prime(row.primed);
    const PortHandle h = OpenComPort(devices, "com1:" + row.settings, row.binary);
    ASSERT_TRUE(h.IsOpen());
    const termios t = Line();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ((t.c_lflag & ICANON) == 0, row.binary);
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, row.hardware) << row.settings;
    EXPECT_EQ((t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF), row.software) << row.settings;
    EXPECT_EQ(platform::FlowControlInForce(h), row.inForce) << row.settings;
    platform::Close(h);
  }
}

TEST_F(OpenComPortTest, EmptiesWhatWaitedBefore) {
  pty.Write("stale");
  int waiting = 0;
  ASSERT_TRUE(WaitUntil([&] { return ioctl(slave.Fd(), FIONREAD, &waiting) == 0 && waiting > 0; }));
  const PortHandle h = OpenComPort(devices, "com1:9600,n,8,1", true);
  EXPECT_EQ(platform::BytesWaiting(h), 0u);
  platform::Close(h);
}

// Refused strings open and change nothing; held and missing devices pass silently too.
TEST_F(OpenComPortTest, UnusableStringOrDeviceGivesTheInvalidHandleQuietly) {
  Prime(0);
  for (const std::string& mode : {std::string("com1:"), std::string("com1:9600,n,x,1"),
                                  "com1:9600,n,8,1" + std::string(300, ' ')}) {
    EXPECT_TRUE(OpenComPort(devices, mode, true).IsInvalid()) << mode;
    const termios t = Line();
    EXPECT_EQ(cfgetospeed(&t), B1200) << mode;
  }
  const PortHandle first = OpenComPort(devices, "com1:9600,n,8,1", true);
  ASSERT_TRUE(first.IsOpen());
  EXPECT_TRUE(OpenComPort(devices, "com1:9600,n,8,1", true).IsInvalid());
  platform::Close(first);
  devices.Set(2, "/dev/wirelab-no-such-device");
  EXPECT_TRUE(OpenComPort(devices, "com2:9600,n,8,1", true).IsInvalid());
}

TEST_F(OpenComPortTest, ConversionErrorLeavesTheDeviceClosed) {
  devices.Set(12, pty.SlavePath());
  const std::pair<std::string, std::string> rows[] = {
      {"com12:9600,n,8,1", "':9600' is not a valid integer value"},
      {"com1:9600", "'' is not a valid integer value"},
      {"com1:9600,n", "'' is not a valid integer value"},
      {"com1:99999999999,n,8,1", "'99999999999' is not a valid integer value"},
  };
  for (const auto& [mode, message] : rows) {
    try {
      OpenComPort(devices, mode, true);
      ADD_FAILURE() << mode << " opened";
    } catch (const platform::ConvertError& e) {
      EXPECT_EQ(e.what(), message);
    }
    const PortHandle h = platform::OpenExclusive(pty.SlavePath());
    EXPECT_TRUE(h.IsOpen()) << mode << " left the device held";
    platform::Close(h);
  }
}

}  // namespace
