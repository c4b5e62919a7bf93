// The device behind each port group: its reasons, the choice of device, saving it, and a port
// that outlives an unplug.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QAction>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "expected_texts.h"
#include "platform/devices/network_port.h"
#include "platform/devices/serial_ports.h"
#include "platform/settings/app_paths.h"
#include "program/program_options.h"
#include "ser2net_rig.h"
#include "window_rig.h"

namespace {

class PortDevicesTest : public WindowTest {
 protected:
  std::string Tip(int n) { return form->CheckBox[n]->toolTip().toStdString(); }
  bool Marked(int n) { return !form->CheckBox[n]->icon().isNull(); }
  QAction* MenuItem(int n, const QString& text) {
    for (QAction* a : form->BuildPortMenu(n)->actions()) {
      if (a->text() == text) return a;
    }
    return nullptr;
  }
};

TEST_F(PortDevicesTest, ATickedPortWithoutAWorkingDeviceShowsTheReason) {
  Create();
  dir.WriteFile("file", "");
  PtyPair held;
  const int holder = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
  const std::string self = "(pid " + std::to_string(getpid());
  const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(FreeLoopbackPort());
  const struct {
    std::string device;  // empty: the pty of the rig
    std::string settings;
    std::vector<std::string> tip;  // empty: a working port
  } rows[] = {
      {"", "9600,n,8,1", {}},
      {"/dev/wirelab-none", "9600,n,8,1", {"cihaz yok: /dev/wirelab-none bulunamadı"}},
      {dir.Path() + "file",
       "9600,n,8,1",
       {"seri cihaz değil: " + dir.Path() + "file normal bir dosya."}},
      {"/dev/null", "9600,n,8,1", {"seri cihaz değil: /dev/null seri port olmayan bir cihaz."}},
      {"/dev/ptmx", "9600,n,8,1", {"seri cihaz değil", "sözde terminal çoklayıcısı"}},
      {"/dev/tty", "9600,n,8,1", {"port değil", "bu programın çalıştığı terminal"}},
      {held.SlavePath(), "9600,n,8,1", {"meşgul", self + ", bu WireLab)"}},
      {refused, "9600,n,8,1", {"bağlantı reddedildi: " + refused + " adresinde dinleyen yok"}},
      {"", "9600,n,8,1 ", {"ayarlar kabul edilmedi", "stop biti geçersiz"}},
      {"", "", {"ayarlar kabul edilmedi", "baud hızı geçersiz"}},
      {"", "0,n,8,1", {"ayarlar kabul edilmedi", "baud hızı geçersiz"}},
      {"", "9600,x,9,3", {"ayarlar kabul edilmedi", "parite geçersiz"}},
      {"", "9600,ş", {"ayarlar kabul edilmedi: \"9600,ş\": parite geçersiz"}},
      {"", "9600", {"ayarlar kabul edilmedi", "virgül yok", "is not a valid integer value"}},
  };
  for (const auto& row : rows) {
    const std::string device = row.device.empty() ? pty[1]->SlavePath() : row.device;
    form->ChoosePortDevice(1, device);
    form->Edit[1]->setText(QString::fromStdString(row.settings));
    Click(1);
    EXPECT_EQ(Marked(1), !row.tip.empty()) << row.settings << " " << device;
    EXPECT_NE(Tip(1).find("com1: " + device), std::string::npos) << Tip(1);
    for (const std::string& part : row.tip) {
      EXPECT_NE(Tip(1).find(part), std::string::npos) << Tip(1);
    }
    EXPECT_EQ(form->CheckBox[1]->text(), QString::fromUtf8(expected::kOpen));
    Click(1);
    EXPECT_FALSE(Marked(1)) << "an unticked port is never marked";
  }
  EXPECT_EQ(boxes.Messages, std::vector<std::string>{expected::NotAnInteger("")});
  EXPECT_TRUE(form->Memo[1]->Lines().empty()) << "reasons never go into the pane";
  close(holder);
}

TEST_F(PortDevicesTest, AChosenDeviceTakesOverAnOpenPortAndAClosedOneAtItsNextTick) {
  Create();
  PtyPair other, later;
  Click(1);
  form->AskDevicePath = [&](int n, const std::string& current) -> std::optional<std::string> {
    EXPECT_EQ(n, 1);
    EXPECT_EQ(current, pty[1]->SlavePath());
    return other.SlavePath();
  };
  QAction* current = MenuItem(1, QString::fromStdString(pty[1]->SlavePath()));
  ASSERT_NE(current, nullptr);
  EXPECT_TRUE(current->isChecked());
  MenuItem(1, QString::fromUtf8(expected::kOtherDevice))->trigger();

  other.Write("A");
  ASSERT_TRUE(WaitForInLastLine(1, "A(65 )"));
  const platform::PortHandle old = platform::OpenExclusive(pty[1]->SlavePath());
  EXPECT_TRUE(old.IsOpen()) << "the first device is given back";
  platform::Close(old);
  form->EditASCII->setText(QStringLiteral("066"));
  PressSend();
  EXPECT_EQ(other.ReadExactly(1), BytesOf("B"));

  form->ChoosePortDevice(2, later.SlavePath());
  EXPECT_EQ(Port(2), nullptr) << "a closed port stays closed";
  Click(2);
  later.Write("C");
  ASSERT_TRUE(WaitForInLastLine(2, "C(67 )"));

  // "Başka cihaz..." shows a path with Turkish letters in its box and takes one back as the
  // program holds paths, in UTF-8, whatever the system's code page.
  const std::string turkish = dir.Path() + "çıkış-ğ";
  form->ChoosePortDevice(3, turkish);
  form->AskDevicePath = nullptr;
  std::string shown;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* dialog = form->findChild<QInputDialog*>();
    if (dialog == nullptr || !dialog->isVisible()) return;
    shown = dialog->textValue().toUtf8().toStdString();
    dialog->setTextValue(QString::fromUtf8(turkish + "2"));
    dialog->accept();
  });
  answer.start(10);
  MenuItem(3, QString::fromUtf8(expected::kOtherDevice))->trigger();
  answer.stop();
  EXPECT_EQ(shown, turkish);
  EXPECT_NE(Tip(3).find("com3: " + turkish + "2"), std::string::npos) << Tip(3);
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(PortDevicesTest, SaveAsDefaultChangesOnlyItsLineAndAFolderThatCannotBeWrittenNothing) {
  Create();
  const std::string before =
      "\xEF\xBB\xBF; bench rig\r\n[Tabs]\r\nAscii=1\r\n\r\n[ports]\r\n"
      "; the adapter\r\nCOM2 = /dev/old\r\nCom3=" +
      pty[3]->SlavePath() + "\r\n\r\n[Other]\r\nCom2=keep\r\n";
  dir.WriteFile("WireLab.ini", before);
  form->ChoosePortDevice(2, "/dev/serial/by-id/usb-rig");
  MenuItem(2, QString::fromStdString(expected::SaveAsDefault(2)))->trigger();
  std::string expected = before;
  expected.replace(expected.find("/dev/old"), 8, "/dev/serial/by-id/usb-rig");
  EXPECT_EQ(dir.ReadFile("WireLab.ini"), expected);

  // A window whose folder is a file, so nothing can be written in it.
  folder = dir.Path() + "WireLab.ini/";
  MakeWindow();
  form->SavePortDefault(2);
  ASSERT_EQ(boxes.Messages.size(), 1u);
  EXPECT_NE(boxes.Messages[0].find(Cp("Hiçbir şey değiştirilmedi.")), std::string::npos)
      << boxes.Messages[0];
  EXPECT_EQ(dir.ReadFile("WireLab.ini"), expected);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

  // Installed: the window reads the system's file and its first save makes the user's.
  TempAppDir system;
  system.WriteFile("WireLab.ini", before);
  files = platform::AppFiles{system.Path() + "WireLab.ini", system.Path() + "user/WireLab.ini",
                             system.Path() + "WireLab.ini", system.Path() + "docs/"};
  MakeWindow();
  EXPECT_NE(Tip(2).find("com2: /dev/old"), std::string::npos) << Tip(2);
  form->ChoosePortDevice(3, "/dev/ttyUSB9");
  form->SavePortDefault(3);
  EXPECT_EQ(boxes.Messages.size(), 1u);
  expected = before;
  expected.replace(expected.find(pty[3]->SlavePath()), pty[3]->SlavePath().size(), "/dev/ttyUSB9");
  EXPECT_EQ(system.ReadFile("user/WireLab.ini"), expected);
  EXPECT_EQ(system.ReadFile("WireLab.ini"), before);
}

// Unplugging is closing the master and removing the link the port is mapped to; plugging in
// again points the link at a new pseudo-terminal.
TEST_F(PortDevicesTest, AnUnpluggedPortIsMarkedGoneAndComesBackByItselfIntoTheSamePane) {
  Create();
  const std::string link = dir.Path() + "ttyUSB-rig";
  auto plug = std::make_unique<PtyPair>();
  std::filesystem::create_symlink(plug->SlavePath(), link);
  form->ChoosePortDevice(1, link);
  Click(1);
  plug->Write("a");
  ASSERT_TRUE(WaitForInLastLine(1, "a(97 )"));

  QElapsedTimer elapsed;
  elapsed.start();
  plug->CloseMaster();
  std::filesystem::remove(link);
  ASSERT_TRUE(WaitUntil([&] { return Tip(1).find("bağlantı koptu") != std::string::npos; }))
      << Tip(1);
  const qint64 goneAfter = elapsed.elapsed();
  EXPECT_TRUE(Marked(1));
  // A gone port looks for its device about ten times a second, no more.
  const uint64_t polls = Port(1)->IdlePolls();
  elapsed.restart();
  ASSERT_TRUE(WaitUntil([&] { return elapsed.elapsed() >= 1000; }));
  EXPECT_LE(Port(1)->IdlePolls() - polls, static_cast<uint64_t>(elapsed.elapsed() / 100 + 2));

  auto replug = std::make_unique<PtyPair>();
  elapsed.restart();
  std::filesystem::create_symlink(replug->SlavePath(), link);
  ASSERT_TRUE(WaitUntil([&] { return !Marked(1); })) << Tip(1);
  const qint64 backAfter = elapsed.elapsed();
  std::printf("gone after %lld ms, back after %lld ms\n", static_cast<long long>(goneAfter),
              static_cast<long long>(backAfter));
  replug->Write("z");
  ASSERT_TRUE(WaitForInLastLine(1, "z(122)"));
  EXPECT_NE(form->Memo[1]->LastLine().find("a(97 )"), std::string::npos) << "the same pane";
  form->EditASCII->setText(QStringLiteral("066"));
  PressSend();
  EXPECT_EQ(replug->ReadExactly(1), BytesOf("B"));

  replug->CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return Tip(1).find("bağlantı koptu") != std::string::npos; }));
  Click(1);
  EXPECT_EQ(Port(1), nullptr);
  EXPECT_FALSE(Marked(1));
  EXPECT_TRUE(boxes.Messages.empty());
}

// A port on another machine, chosen as any other device: listed in every port's menu, its
// bytes in its pane, what its server does not confirm in the tooltip without a mark, a server
// that restarts gone and back by itself.
TEST_F(PortDevicesTest, APortBehindSer2netWorksAsALocalOneAndSaysWhatTheServerLacks) {
  if (!Ser2netRig::Available()) GTEST_SKIP() << Ser2netRig::kMissing;
  Ser2netRig rig;
  Create();
  form->ChoosePortDevice(2, rig.Url());
  QAction* listed = MenuItem(1, QString::fromStdString(rig.Url() + "  (com2)"));
  ASSERT_NE(listed, nullptr);
  EXPECT_FALSE(listed->isChecked());
  Click(2);
  EXPECT_FALSE(Marked(2)) << Tip(2);
  // A byte each way: the first one out shows the server has the line open and purged.
  Port(2)->SendByte(nullptr, '!');
  EXPECT_EQ(rig.ReadLine(1), BytesOf("!"));
  rig.Line().Write(std::string("A\xff", 2));
  ASSERT_TRUE(WaitForInLastLine(2, "A(65 )"));
  ASSERT_TRUE(WaitForInLastLine(2, "(255)")) << form->Memo[2]->LastLine();

  platform::SetNetworkControl(Port(2)->PortHandle(), platform::net::LineControl::RtsOn);
  ASSERT_TRUE(WaitUntil([&] {
    return Tip(2).find("sunucu onaylamadı: SET-CONTROL") != std::string::npos;
  })) << Tip(2);
  EXPECT_FALSE(Marked(2));

  rig.Stop();
  ASSERT_TRUE(WaitUntil([&] {
    return Tip(2).find("bağlantı koptu: " + rig.Url()) != std::string::npos;
  })) << Tip(2);
  EXPECT_TRUE(Marked(2));
  rig.Start();
  ASSERT_TRUE(WaitUntil([&] { return !Marked(2); }, std::chrono::milliseconds(3000))) << Tip(2);
  Port(2)->SendByte(nullptr, '?');
  EXPECT_EQ(rig.ReadLine(1), BytesOf("?"));
  rig.Line().Write("z");
  ASSERT_TRUE(WaitForInLastLine(2, "z(122)"));
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST(ProgramOptions, ComNMapsAPortAndBadOptionsAreRefused) {
  const ProgramOptions ok = ParseProgramOptions(
      {"--com1", "/dev/ttyUSB0", "--com4", "/tmp/x", "--com2", "rfc2217://rig7:4001"});
  EXPECT_EQ(ok.error, "");
  EXPECT_EQ(ok.com[2], "rfc2217://rig7:4001");
  EXPECT_EQ(ok.com[1], "/dev/ttyUSB0");
  EXPECT_EQ(ok.com[4], "/tmp/x");
  EXPECT_TRUE(ParseProgramOptions({"--list-ports"}).listPorts);
  EXPECT_TRUE(ParseProgramOptions({"--version"}).version);
  const std::vector<std::string> refused[] = {
      {"--com1"},     {"--com1", ""},        {"--com5", "/dev/x"}, {"--com0", "/dev/x"},
      {"--com", "x"}, {"--com12", "/dev/x"}, {"--bogus"},          {"--screenshot"}};
  for (const auto& args : refused) EXPECT_NE(ParseProgramOptions(args).error, "") << args[0];
  const ProgramOptions pictures =
      ParseProgramOptions({"--screenshot", "w.png", "--menu-screenshot", "m.png"});
  EXPECT_EQ(pictures.screenshot, "w.png");
  EXPECT_EQ(pictures.menuScreenshot, "m.png");
  for (const char* option : {"--screenshot FILE.png", "--menu-screenshot FILE.png"}) {
    EXPECT_NE(std::string(kProgramUsage).find(option), std::string::npos) << option;
  }
}

TEST(SerialPortList, ATableOfWhatAPersonRecognisesADeviceBy) {
  platform::SerialPortInfo usb;
  usb.devicePath = "/dev/ttyUSB0";
  usb.kernelName = "ttyUSB0";
  usb.byIdPath = "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0";
  usb.vendorId = "0403";
  usb.productId = "6001";
  usb.manufacturer = "FTDI";
  usb.product = "FT232R USB UART";
  usb.serialNumber = "A1";
  platform::SerialPortInfo uart;
  uart.devicePath = "/dev/ttyS4";
  uart.kernelName = "ttyS4";
  uart.driver = "serial8250";
  EXPECT_EQ(platform::FormatPortTable({usb, uart}),
            "PATH                                             DEVICE   USB ID     MANUFACTURER  "
            "PRODUCT          SERIAL NUMBER\n"
            "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0  ttyUSB0  0403:6001  FTDI          "
            "FT232R USB UART  A1\n"
            "/dev/ttyS4                                       ttyS4    -          -             "
            "-                -\n");
  EXPECT_EQ(platform::FormatPortTable({}), "No serial devices found.\n");
  // The ports on other machines that WireLab.ini maps follow the local ones.
  EXPECT_EQ(
      platform::FormatPortTable({uart}, {{2, "rfc2217://rig7:4001"}, {3, "tcp://[::1]:4002"}}),
      "PATH                 DEVICE  USB ID  MANUFACTURER  PRODUCT   SERIAL NUMBER\n"
      "/dev/ttyS4           ttyS4   -       -             -         -\n"
      "rfc2217://rig7:4001  com2    -       -             RFC 2217  -\n"
      "tcp://[::1]:4002     com3    -       -             raw TCP   -\n");
  EXPECT_EQ(usb.Description(), "FTDI FT232R USB UART (ttyUSB0)");
  EXPECT_EQ(uart.Description(), "Seri port (ttyS4)");
}

TEST(SerialPortList, EveryDeviceOfThisMachineNamesADeviceNode) {
  const std::vector<platform::SerialPortInfo> ports = platform::ListSerialPorts();
  if (ports.empty()) GTEST_SKIP() << "no serial devices here: only that listing them returns";
  for (const platform::SerialPortInfo& p : ports) {
    EXPECT_EQ(p.devicePath.rfind("/dev/", 0), 0u) << p.devicePath;
    EXPECT_FALSE(p.kernelName.empty());
  }
}

}  // namespace
