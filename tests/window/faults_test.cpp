// Faults the window must live through: a device that vanishes while receiving, a device held
// by someone else, a stalled line, odd settings texts, a garbage WireLab.ini, and a request to
// end while a long send runs or a box waits.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "expected_texts.h"
#include "platform/devices/serial_device.h"
#include "platform/devices/serial_posix_detail.h"
#include "platform/thread/quit_request.h"
#include "window/message_boxes.h"
#include "window_rig.h"

namespace {

class Faults : public WindowTest {};

TEST_F(Faults, DeviceVanishingWhileReceivingNeitherCrashesNorSpinsAndOtherPortsGoOn) {
  Create();
  Open(1);
  Open(2);
  pty[1]->Write(std::string(50, 'a'));
  pty[2]->Write(std::string(50, 'b'));
  ASSERT_TRUE(WaitUntil([&] { return PaneChars(1) > 0 && PaneChars(2) > 0; }));

  pty[1]->CloseMaster();  // the adapter is pulled mid-stream
  // The hung-up port idles at its poll period: twenty idle passes take at least a quarter of
  // a second, where a spinning thread would make them in microseconds.
  const uint64_t before = Port(1)->IdlePolls();
  QElapsedTimer elapsed;
  elapsed.start();
  ASSERT_TRUE(WaitUntil([&] { return Port(1)->IdlePolls() >= before + 20; }));
  EXPECT_GE(elapsed.elapsed(), 250);

  const int port2 = PaneChars(2);
  pty[2]->Write(std::string(30, 'c'));
  EXPECT_TRUE(WaitUntil([&] { return PaneChars(2) > port2; }));
  Click(1);  // closes normally
  EXPECT_EQ(Port(1), nullptr);
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(Faults, DeviceHeldByAnotherOpensMuteAndSilently) {
  Create();
  const platform::PortHandle holder = platform::OpenExclusive(pty[1]->SlavePath());
  ASSERT_TRUE(holder.IsOpen());
  Open(1);
  ASSERT_NE(Port(1), nullptr);
  EXPECT_TRUE(Port(1)->PortHandle().IsInvalid());
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("Com1"));

  form->EditASCII->setText(QStringLiteral("065066"));
  PressSend();  // the bytes are lost, nothing freezes
  pty[1]->Write("xyz");
  // What the holder reads is its business; WireLab put nothing on the line and shows nothing.
  std::vector<uint8_t> got(8);
  EXPECT_LE(read(platform::detail::Descriptor(holder), got.data(), got.size()), 3);
  EXPECT_TRUE(pty[1]->ReadAvailable().empty());
  EXPECT_TRUE(form->Memo[1]->Lines().empty());
  Click(1);
  platform::Close(holder);
}

TEST_F(Faults, SendOnAStalledLineReturnsAndTheWindowKeepsAnswering) {
  Create();
  Open(1);
  // Far more than the driver buffers, and nobody reads the other side.
  std::string codes;
  for (int i = 0; i < 200000; ++i) codes += "065";
  form->EditASCII->setText(QString::fromStdString(codes));
  QElapsedTimer elapsed;
  elapsed.start();
  PressSend();
  // Generous: the bound is about 2 s for the whole send; a send that waited per byte would
  // take hours.
  EXPECT_LT(elapsed.elapsed(), 30000);
  bool answered = false;
  QTimer::singleShot(0, [&] { answered = true; });
  EXPECT_TRUE(WaitUntil([&] { return answered; }));
  EXPECT_FALSE(pty[1]->ReadAvailable().empty());  // the line took what fitted
  // The group's tooltip says the rest was dropped, until the device takes a byte again.
  const auto tip = [&] { return form->GroupBox[1]->toolTip().toStdString(); };
  EXPECT_NE(tip().find("Gönderim durdu"), std::string::npos) << tip();
  while (!pty[1]->ReadAvailable().empty()) {
  }
  form->EditASCII->setText(QStringLiteral("066"));
  PressSend();
  EXPECT_EQ(tip().find("Gönderim durdu"), std::string::npos) << tip();
}

TEST_F(Faults, OddSettingsTextsGiveTheirOutcomeAndNeverACrash) {
  Create();
  const struct {
    std::string settings;
    bool conversionError;
  } rows[] = {
      {std::string(300, '9'), false},  // over 255 characters: refused, port mute
      {"9600,\xC5\x9F,8,1", false},    // a Turkish letter: refused
      {"", false},                     // nothing: refused
      {"abc,n,8,1", false},
      {"9600,n,x,1", false},
      {"9600", true},  // accepted as a whole, but no comma for the baud rate
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.settings.substr(0, 20));
    boxes.Messages.clear();
    Open(1, row.settings);
    if (row.conversionError) {
      ASSERT_EQ(boxes.Messages.size(), 1u);
      EXPECT_EQ(boxes.Messages[0], expected::NotAnInteger(""));
      EXPECT_EQ(Port(1), nullptr);
    } else {
      EXPECT_TRUE(boxes.Messages.empty());
      ASSERT_NE(Port(1), nullptr);
      EXPECT_TRUE(Port(1)->PortHandle().IsInvalid());
    }
    Click(1);
    EXPECT_EQ(form->ComboBox1->count(), 0);
  }
  // The device was never left held: a good text opens it.
  Open(1);
  EXPECT_TRUE(Port(1)->PortHandle().IsOpen());
}

TEST_F(Faults, GarbageConfigurationGivesTheDefaults) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 37) & 0xFF);
  garbage += "\n" + std::string(1 << 20, 'x') + "=\n[Tabs\nAscii\n=0\n";
  dir.WriteFile("WireLab.ini", garbage);
  MakeWindow();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(form->PageControl1->isTabVisible(i)) << i;
  EXPECT_EQ(form->ActivePage(), form->TabSheetASCII);
}

TEST_F(Faults, ARequestToEndCutsALongSendShort) {
  Create();
  Open(1);
  QuitSignals quitSignals(form.get(), boxes);
  form->EditSleep->setText(QStringLiteral("100000"));  // 100 s after every byte
  form->EditASCII->setText(QStringLiteral("065066067"));
  std::thread terminator([this] {
    // As soon as the first byte is out, the process is asked to end.
    pty[1]->ReadExactly(1, std::chrono::seconds(10));
    kill(getpid(), SIGTERM);
  });
  QElapsedTimer elapsed;
  elapsed.start();
  PressSend();
  terminator.join();
  EXPECT_LT(elapsed.elapsed(), 30000);
  EXPECT_TRUE(platform::QuitRequested());
  EXPECT_TRUE(pty[1]->ReadAvailable().empty());  // the rest of the send was dropped
}

TEST(Ending, ASignalWhileABoxWaitsEndsTheLoopAndSaysOnStderrThatTheResultsWereNotSaved) {
  // The signal comes while the loop asks for a port, and the save fails after it; or the save
  // after cycle 100 fails first, and the signal comes while its box is up.
  for (bool failedFirst : {false, true}) {
    SCOPED_TRACE(failedFirst);
    WindowRig rig;
    if (failedFirst) {
      rig.clock.emplace();
      rig.Drain(1);
    }
    rig.Create();
    if (failedFirst) rig.Open(1);
    std::filesystem::create_directory(rig.dir.Path() + "OmronResults.txt");  // the save fails
    rig.boxes.ShowRealBoxes = true;
    QuitSignals quitSignals(rig.form.get(), rig.boxes);
    QTimer signalWhenBoxUp;
    QObject::connect(&signalWhenBoxUp, &QTimer::timeout, [&] {
      if (QApplication::activeModalWidget() == nullptr) return;
      signalWhenBoxUp.stop();
      raise(SIGTERM);
    });
    signalWhenBoxUp.start(5);
    QTimer::singleShot(10000, [] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        ADD_FAILURE() << "the box stayed up";
        box->close();
      }
    });
    testing::internal::CaptureStderr();
    rig.form->SpeedButtonLoop->click();
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(rig.form->View().LoopRunning);
    EXPECT_THAT(stderrText, testing::HasSubstr("OmronResults.txt"));
    EXPECT_TRUE(rig.boxes.EndsWithError());
  }
}

TEST(Program, EndsOnSigtermOrSigintWithCodeZeroWhenNothingFailed) {
  const std::string program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/wirelab";
  ASSERT_TRUE(std::filesystem::exists(program)) << program;
  // The handler is in place once the process catches the signal.
  auto catches = [](pid_t pid, int sig) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("SigCgt:", 0) == 0)
        return (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1)) & 1;
    }
    return 0ull;
  };
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    // A sanitizer build's child keeps the test's sanitizer options (its suppressions of what
    // it reports inside Qt's own libraries).
    std::vector<std::string> settings = {"QT_QPA_PLATFORM=offscreen"};
    for (const char* name : {"TSAN_OPTIONS", "ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
      if (const char* value = std::getenv(name))
        settings.push_back(std::string(name) + "=" + value);
    }
    std::vector<char*> env;
    for (std::string& setting : settings) env.push_back(setting.data());
    env.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, env.data()), 0);
    EXPECT_TRUE(WaitUntil([&] { return catches(pid, sig) != 0; }));
    kill(pid, sig);
    int status = 0;
    EXPECT_TRUE(WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
}

}  // namespace
