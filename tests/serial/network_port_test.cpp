// Ports on other machines against a real ser2net on loopback, a pseudo-terminal behind it.
#include "platform/devices/network_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <QTimer>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "pty_pair.h"
#include "ser2net_rig.h"
#include "serial/ComUtils.h"
#include "serial/CommObjects.h"
#include "serial/port_diagnosis.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::PortError;

std::vector<uint8_t> EveryByteValue() {
  std::vector<uint8_t> bytes(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

// One port object on the given device, as the programs make them, with what it received and
// how often it told of a change.
struct NetworkCom {
  NetworkCom(const std::string& device, const std::string& settings = "9600,n,8,1") {
    devices.Set(1, device);
    com = std::make_unique<TRealCom>(calls, true, nullptr, 1, settings, devices);
    com->OnReceive = [this](TPeripheral*, uint8_t value) { received.push_back(value); };
    com->OnDeviceChange = [this] { ++changes; };
    com->OnLinkNote = [this] { ++notes; };
    com->Resume();
  }
  platform::MainThreadCalls calls;
  platform::ComDevices devices;
  std::unique_ptr<TRealCom> com;
  std::vector<uint8_t> received;
  int changes = 0;
  int notes = 0;
};

#define REQUIRE_SER2NET() \
  if (!Ser2netRig::Available()) GTEST_SKIP() << Ser2netRig::kMissing

TEST(NetworkPortTest, EveryByteValueArrivesAsSentBothWays) {
  REQUIRE_SER2NET();
  for (const Ser2netRig::Kind kind : {Ser2netRig::Kind::Rfc2217, Ser2netRig::Kind::Raw}) {
    Ser2netRig rig(kind);
    NetworkCom port(rig.Url());
    SCOPED_TRACE(rig.Url());
    ASSERT_TRUE(port.com->PortHandle().IsOpen());
    // Twice over, 0xFF next to itself included, each way.
    std::vector<uint8_t> twice;
    for (int round = 0; round < 2; ++round) {
      for (const uint8_t value : EveryByteValue()) twice.push_back(value);
    }
    twice.push_back(0xFF);
    port.com->SendBuffer(nullptr, twice.data(), static_cast<int32_t>(twice.size()));
    EXPECT_EQ(rig.ReadLine(twice.size(), std::chrono::seconds(10)), twice);
    rig.Line().Write(twice);
    EXPECT_TRUE(WaitUntil([&] { return port.received.size() >= twice.size(); }));
    EXPECT_EQ(port.received, twice);
  }
}

TEST(NetworkPortTest, SettingsTextSetsTheServersPort) {
  REQUIRE_SER2NET();
  // Pseudo-terminals keep 8 data bits and no parity: the speed, the stop bits and the flow
  // control (the fifth field, through SET-CONTROL) show.
  const struct {
    const char* settings;
    speed_t speed;
    bool twoStopBits;
    bool rtsCts;
    bool xonXoff;
  } rows[] = {{"19200,n,8,1", B19200, false, false, false},
              {"57600,e,7,2", B57600, true, false, false},
              {"1200,n,8,1,p", B1200, false, true, false},
              {"9600,n,8,1,x", B9600, false, false, true}};
  Ser2netRig rig;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.settings);
    NetworkCom port(rig.Url(), row.settings);
    ASSERT_TRUE(port.com->PortHandle().IsOpen());
    termios t{};
    EXPECT_TRUE(WaitUntil(
        [&] {
          return tcgetattr(rig.Line().SlaveFd(), &t) == 0 && cfgetospeed(&t) == row.speed &&
                 ((t.c_cflag & CSTOPB) != 0) == row.twoStopBits &&
                 ((t.c_cflag & CRTSCTS) != 0) == row.rtsCts &&
                 ((t.c_iflag & IXON) != 0) == row.xonXoff;
        },
        std::chrono::seconds(5)));
    // The data still passes after the settings.
    port.com->SendByte(nullptr, 'k');
    EXPECT_EQ(rig.ReadLine(1, std::chrono::seconds(5)), std::vector<uint8_t>{'k'});
  }
}

// ser2net has no modem lines to set on a pseudo-terminal and never answers SET-CONTROL: the
// port says so once, and goes on; what it answers (the settings, PURGE-DATA) is not named.
TEST(NetworkPortTest, AnOptionTheServerLeavesUnansweredIsNamedAndThePortGoesOn) {
  REQUIRE_SER2NET();
  Ser2netRig rig;
  NetworkCom port(rig.Url());
  const auto start = Clock::now();
  EXPECT_TRUE(
      platform::SetNetworkControl(port.com->PortHandle(), platform::net::LineControl::DtrOn));
  ASSERT_TRUE(WaitUntil([&] { return port.notes > 0; }, std::chrono::seconds(10)));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(6));
  EXPECT_EQ(platform::UnconfirmedOptions(port.com->PortHandle()),
            std::vector<std::string>{"SET-CONTROL"});
  EXPECT_EQ(port.com->Problem(), PortError::None);
  const std::string note =
      DescribeLinkNote(platform::UnconfirmedOptions(port.com->PortHandle()), true);
  EXPECT_NE(note.find("not confirmed by the server: SET-CONTROL"), std::string::npos) << note;
  rig.Line().Write(std::string("still"));
  EXPECT_TRUE(WaitUntil([&] { return port.received.size() == 5; }));
  // A tcp:// port has no control to set.
  Ser2netRig raw(Ser2netRig::Kind::Raw);
  NetworkCom rawPort(raw.Url());
  EXPECT_FALSE(
      platform::SetNetworkControl(rawPort.com->PortHandle(), platform::net::LineControl::DtrOn));
}

// A server that goes away leaves the port gone; once it listens again the port connects by
// itself within two seconds, with its settings, and the data flows again.
TEST(NetworkPortTest, ServerStoppedIsGoneAndItsReturnIsFoundWithinTwoSeconds) {
  REQUIRE_SER2NET();
  Ser2netRig rig;
  NetworkCom port(rig.Url(), "19200,n,8,1");
  ASSERT_TRUE(port.com->PortHandle().IsOpen());
  rig.Stop();
  ASSERT_TRUE(WaitUntil([&] { return port.com->Problem() == PortError::Gone; }));
  EXPECT_EQ(port.changes, 1);
  const std::string gone =
      DescribePortProblem({port.com->Problem(), rig.Url(), "19200,n,8,1", {}, false});
  EXPECT_NE(gone.find("bağlantı koptu: " + rig.Url()), std::string::npos) << gone;
  rig.Start();
  const auto back = Clock::now();
  ASSERT_TRUE(WaitUntil([&] { return port.com->Problem() == PortError::None; }));
  EXPECT_LT(Clock::now() - back, std::chrono::milliseconds(2000));
  EXPECT_EQ(port.changes, 2);
  // The first byte out shows the server has the line open and purged; then the other way.
  port.com->SendByte(nullptr, '!');
  EXPECT_EQ(rig.ReadLine(1, std::chrono::seconds(5)), std::vector<uint8_t>{'!'});
  rig.Line().Write(std::string("back"));
  EXPECT_TRUE(WaitUntil([&] { return port.received.size() == 4; }));
  termios t{};
  EXPECT_TRUE(WaitUntil(
      [&] { return tcgetattr(rig.Line().SlaveFd(), &t) == 0 && cfgetospeed(&t) == B19200; }));
}

// A port made while its server is down says so, and connects once the server listens, as an
// adapter plugged in after the port was ticked.
TEST(NetworkPortTest, APortRefusedAtFirstConnectsOnceTheServerListens) {
  REQUIRE_SER2NET();
  Ser2netRig rig;
  rig.Stop();
  NetworkCom port(rig.Url());
  EXPECT_EQ(port.com->Problem(), PortError::ConnectionRefused);
  rig.Start();
  const auto listening = Clock::now();
  ASSERT_TRUE(WaitUntil([&] { return port.com->Problem() == PortError::None; }));
  EXPECT_LT(Clock::now() - listening, std::chrono::milliseconds(2000));
  port.com->SendByte(nullptr, '!');
  EXPECT_EQ(rig.ReadLine(1, std::chrono::seconds(5)), std::vector<uint8_t>{'!'});
}

TEST(NetworkPortTest, NobodyListeningIsRefusedAtOnce) {
  const std::string url = "rfc2217://127.0.0.1:" + std::to_string(FreeLoopbackPort());
  platform::ComDevices devices;
  const auto start = Clock::now();
  const platform::PortHandle handle = OpenComDevice(url, "com1:9600,n,8,1", true);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_TRUE(handle.IsInvalid());
  EXPECT_EQ(handle.Error(), PortError::ConnectionRefused);
  const std::string reason = DescribePortProblem({handle.Error(), url, {}, {}, true});
  EXPECT_EQ(reason.rfind("connection refused: nothing listens at " + url, 0), 0u) << reason;
  // The other reasons of a network port, as each program words them.
  const struct {
    PortError error;
    const char* turkish;
    const char* english;
  } rows[] = {
      {PortError::NameUnresolved, "ad çözülemedi: ", "name does not resolve: the host of "},
      {PortError::NoAnswer, "yanıt yok: ", "no answer: "},
      {PortError::ConnectionRefused,
       "bağlantı reddedildi: ", "connection refused: nothing listens at "},
      {PortError::Gone, "bağlantı koptu: ", "gone: the server at "},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DescribePortProblem({row.error, url, {}, {}, false}).rfind(row.turkish + url, 0), 0u);
    EXPECT_EQ(DescribePortProblem({row.error, url, {}, {}, true}).rfind(row.english + url, 0), 0u)
        << row.english;
  }
}

// A server that never answers: the port opens at once, connecting; the main thread goes on
// (its timer keeps ticking) until the port tells it got no answer.
TEST(NetworkPortTest, ServerThatNeverAnswersTimesOutWithoutHoldingUpTheMainThread) {
  SilentListener silent;
  const std::string url = "rfc2217://127.0.0.1:" + std::to_string(silent.Port());
  const auto start = Clock::now();
  NetworkCom port(url);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(port.com->Problem(), PortError::None);
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(50);
  ASSERT_TRUE(WaitUntil([&] { return port.com->Problem() == PortError::NoAnswer; },
                        std::chrono::seconds(15)));
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(platform::kNoAnswerMs - 500));
  EXPECT_GE(ticks,
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count() /
                             50 / 2));
  const std::string reason = DescribePortProblem({port.com->Problem(), url, {}, {}, false});
  EXPECT_EQ(reason.rfind("yanıt yok: " + url, 0), 0u) << reason;
}

}  // namespace
