// wirelab-cli end to end: the real program as a child process, its ports real
// pseudo-terminals. The rules behind it are tested elsewhere; these tests check the wiring
// and the output: replies on the line, the event lines, the exit codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "cash_register_sim.h"
#include "cli_process.h"
#include "expected_texts.h"
#include "line_shim.h"
#include "platform/text/cp1254.h"
#include "program/program_version.h"
#include "pty_pair.h"
#include "ser2net_rig.h"
#include "test_support.h"

namespace {

using Strings = std::vector<std::string>;

const std::string kCli = WIRELAB_CLI_PATH;

// "2026-12-08 14:03:07.125 com1 log TEXT" -> "com1 log TEXT"
std::string WithoutTime(const std::string& line) {
  static const std::regex time(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )");
  EXPECT_TRUE(std::regex_search(line, time)) << line;
  return line.size() > 24 ? line.substr(24) : line;
}

std::string Codes(const std::string& bytes) {
  std::string codes;
  for (const char ch : bytes) {
    char group[4];
    std::snprintf(group, sizeof group, "%03u", static_cast<uint8_t>(ch));
    codes += group;
  }
  return codes;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CliTest, BadInputNamesTheOptionAndExitsWithItsCode) {
  PtyPair pty, ownTerminal;
  const std::string port1 = "1=" + pty.SlavePath();
  TempAppDir dir;
  const std::string loop = dir.Path() + "loop";
  ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
  const std::string fifo = dir.Path() + "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string refused = std::to_string(FreeLoopbackPort());
  const struct {
    Strings args;
    int code;  // a usage line goes with 2, but for a log that cannot be opened
    std::string says;
    std::string stdoutTo = {};
  } rows[] = {
      {{}, 2, "--port: no port given"},
      {{"--port", port1, "--bogus"}, 2, "--bogus: unknown option"},
      {{"--port"}, 2, "--port: missing value"},
      {{"--port", "5=" + pty.SlavePath()}, 2, "--port: port '5' is not 1 to 4"},
      {{"--port", port1, "--port", "1=/dev/null"}, 2, "--port: port 1 is given twice"},
      {{"--port", port1 + ":9600"}, 2, "--port 1: settings '9600' have no comma"},
      {{"--port", port1 + ":9600,q,8,1"}, 2, "--port 1: settings '9600,q,8,1' are not"},
      {{"--port", port1 + ":19200,e,7,1 "}, 2, "--port 1: settings '19200,e,7,1 ' are not"},
      {{"--port", port1, "--pos", "2"}, 2, "--pos: port 2 has no --port"},
      {{"--port", port1, "--break", "2"}, 2, "--break: port 2 has no --port"},
      {{"--port", port1, "--dtr", "1=on"}, 2, "--dtr: '1=on' is not N=0 or N=1"},
      {{"--port", port1, "--send", "3", "065"}, 2, "--send: port 3 has no --port"},
      {{"--port", port1, "--send", "1", "06a"}, 2, "--send: '06a' is not groups of three"},
      {{"--port", port1, "--send", "1", "0650"}, 2, "--send: '0650' is not groups of three"},
      {{"--port", port1, "--send", "1", "065256"}, 2, "--send: code 256 in '065256' is above 255"},
      {{"--port", port1, "--packet", "1"}, 2, "--packet: missing value"},
      {{"--port", port1, "--sleep", "-5"}, 2, "--sleep: '-5' is not a number"},
      {{"--port", port1, "--send", "1", "065", "--every", "0"}, 2, "--every: '0' is not 1 to"},
      {{"--port", port1, "--duration", "1s"}, 2, "--duration: '1s' is not a number of seconds"},
      {{"--port", port1, "--duration", "0.0"}, 2, "--duration: '0.0' is not more than 0"},
      {{"--port", port1, "--duration", "1.2345"}, 2, "--duration: '1.2345' is not a number of"},
      {{"--port", port1, "--log", fifo}, 2, "--log: cannot write " + fifo + ": a FIFO that nobody"},
      {{"--port", port1, "--junit", "r.xml"}, 2, "--junit: no --scenario"},
      {{"--port", port1, "--record-scenario", "r.scn"}, 2, "--record-scenario: no --pos port"},
      {{"--port", port1, "--pos", "1", "--record-scenario", "r.scn", "--scenario", "s.scn"},
       2,
       "--record-scenario: not with --scenario"},
      {{"--port", port1, "--log", "/nonexistent/run.log"},
       2,
       "--log: cannot write /nonexistent/run.log: No such file or directory"},
      {{"--port", port1, "--port", "2=/nonexistent/\x1b[2J\ntty"},
       1,
       "port 2: no such device: nothing answers at /nonexistent/\\x1b[2J\\ntty. Plug the adapter "
       "in, or give another device with --port N=DEVICE.\n"},
      {{"--port", "1=/dev/tty"}, 1, "port 1: not a port: /dev/tty is the terminal this program"},
      {{"--port", "1=" + ownTerminal.SlavePath()},
       1,
       "port 1: not a port: " + ownTerminal.SlavePath() + " is the terminal this program",
       ownTerminal.SlavePath()},
      {{"--port", "1=/dev/ptmx"}, 1, "port 1: not a serial device: /dev/ptmx is the pseudo-term"},
      {{"--port", "1=" + loop}, 1, "port 1: a link loop: " + loop + " is a symbolic link"},
      {{"--port", "1=/dev/null"}, 1, "port 1: not a serial device: /dev/null is a device that is"},
      {{"--port", "1=rfc2217://127.0.0.1:" + refused},
       1,
       "port 1: connection refused: nothing listens at rfc2217://127.0.0.1:" + refused + ". Is"},
      {{"--port", "1=rfc2217://127.0.0.1:" + refused + ":9600"},
       2,
       "--port 1: settings '9600' have no comma"},
      {{"--port", "1=tcp://127.0.0.1:" + refused + "9600,n,8,1"},
       2,
       "--port: 'tcp://127.0.0.1:" + refused + "9600,n,8,1' is not HOST:PORT after the scheme"},
      {{"--port", "1=rfc2217://rig7"}, 2, "--port: 'rfc2217://rig7' is not HOST:PORT after"},
      {{"--port", port1, "--log", "/dev/full"},
       1,
       "--log: cannot write /dev/full: No space left on device",
       "/dev/null"},
      {{"--port", port1}, 1, "stdout: No space left on device", "/dev/full"},
      {{"--port", port1}, 1, "stdout: Bad file descriptor", CliProcess::kClosedStdout},
  };
  for (const auto& row : rows) {
    std::string command;
    for (const std::string& arg : row.args) command += " " + arg;
    SCOPED_TRACE(command);
    CliProcess cli(kCli, row.args, row.stdoutTo);
    EXPECT_EQ(cli.Wait(), row.code);
    EXPECT_TRUE(Contains(cli.Stderr(), "wirelab-cli: " + row.says)) << cli.Stderr();
    const bool usage = row.code == 2 && !Contains(row.says, "--log");
    EXPECT_EQ(Contains(cli.Stderr(), "\nusage: wirelab-cli "), usage) << cli.Stderr();
    if (row.code == 2) {
      EXPECT_EQ(cli.Stdout(), "");
    }
  }
}

TEST(CliTest, HelpPrintsTheUsageAndVersionTheVersionOnStdout) {
  for (const Strings& args : {Strings{"-h"}, Strings{"--help", "--bogus"}}) {
    CliProcess cli(kCli, args);
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_EQ(cli.Stdout().rfind("usage: wirelab-cli --port ", 0), 0u) << cli.Stdout();
    EXPECT_EQ(cli.Stderr(), "");
  }
  CliProcess cli(kCli, {"--version"});
  EXPECT_EQ(cli.Wait(), 0);
  EXPECT_EQ(cli.Stdout(), "wirelab-cli " + std::string(ProgramVersion()) + "\n");
  EXPECT_EQ(cli.Stderr(), "");
}

TEST(CliTest, ListPortsPrintsTheTableWithoutADisplay) {
  CliProcess cli(kCli, {"--list-ports"});
  EXPECT_EQ(cli.Wait(), 0) << cli.Stderr();
  EXPECT_TRUE(cli.Stdout().rfind("PATH ", 0) == 0 || cli.Stdout() == "No serial devices found.\n")
      << cli.Stdout();
}

// A sale against --pos on port 1, the register on the master side; port 2 is open beside it
// without --pos, so its bytes are shown, not answered. Port 2's device is a link whose name,
// like its bytes, holds control characters: they are shown escaped, never written.
TEST(CliTest, PosTerminalPlaysAWholeSaleAndReportsItsPaneLines) {
  PtyPair pty, other;
  CashRegisterSim reg(pty);
  reg.SetPosNumber("12");
  TempAppDir dir;
  const std::string oddLink = dir.Path() + "a\nb\x1b";
  const std::string oddShown = dir.Path() + "a\\nb\\x1b";
  ASSERT_EQ(symlink(other.SlavePath().c_str(), oddLink.c_str()), 0);
  CliProcess cli(kCli, {"--port", "1=" + pty.SlavePath(), "--pos", "1", "--pos-number", "12",
                        "--port", "2=" + oddLink + ":19200,e,7,1"});
  ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " com2 open "); }))
      << cli.Stderr();

  Strings events = {"com1 open " + pty.SlavePath() + " 9600,n,8,1",
                    "com2 open " + oddShown + " 19200,e,7,1"};
  auto log = [&](const std::string& cp1254) {
    events.push_back("com1 log " + platform::Cp1254ToUtf8(cp1254));
  };
  auto reply = [&](const std::string& text) {
    const std::optional<CashRegisterSim::Frame> frame = reg.ReadFrame();
    ASSERT_TRUE(frame) << "no frame; expected " << text << ", got " << reg.Unread();
    EXPECT_EQ(frame->raw, CashRegisterSim::Framed(text));
    events.push_back("com1 sent " + Codes(frame->raw));
    log(Cp(expected::kSentPrefix) + CashRegisterSim::WithLetter(text));
  };
  auto send = [&](const std::string& text, const char* verdict) {
    reg.Send(text);
    log(CashRegisterSim::WithLetter(text));
    log(Cp(verdict));
  };
  using expected::kAccepted;

  send(CashRegisterSim::Sttx("001", "7", "1001"), kAccepted);
  reply(reg.Ack("001"));
  send(CashRegisterSim::Item("002", "01", "8690504", "2", "500"), kAccepted);
  reply(reg.Ack("002"));
  send(CashRegisterSim::Entx("003", "1", "2", "500"), kAccepted);
  reply(reg.Ack("003"));
  reply(CashRegisterSim::Prom("001", "500"));
  reply(CashRegisterSim::Prom("001", "500"));  // repeated until acknowledged
  send(CashRegisterSim::AckOf("001"), expected::kAckReceived);
  send(CashRegisterSim::Odti("004", "1", "500"), kAccepted);
  reply(reg.Ack("004"));
  reply(CashRegisterSim::Prov("002", "500"));
  send(CashRegisterSim::AckOf("002"), expected::kAckReceived);
  // The provision's acknowledgement closed the transaction.
  send(CashRegisterSim::Item("005", "01", "8690504", "1", "250"), expected::kNoTransaction);
  reply(reg.Nack("005"));

  other.Write(std::string("A\x7f\x81\r"));
  ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " com2 rx "); }));
  EXPECT_TRUE(reg.Quiet());
  cli.Signal(SIGTERM);
  ASSERT_EQ(cli.Wait(), 0) << cli.Stderr();
  events.push_back("com1 close " + pty.SlavePath());
  events.push_back("com2 close " + oddShown);

  Strings seen;
  for (const std::string& line : cli.Lines()) {
    const std::string event = WithoutTime(line);
    if (Contains(event, "com2 rx ")) {
      EXPECT_TRUE(std::regex_match(
          event,
          std::regex(R"(com2 rx <\d+>A\(65 \)<\d+>\\x7f\(127\)<\d+>\\x81\(129\)<\d+>·\(13 \))")))
          << event;
    } else {
      seen.push_back(event);
    }
  }
  EXPECT_EQ(seen, events);
}

// Byte codes and a packet, sent at start and at every tick, while bytes come in; SIGTERM in
// the middle of it. Every line is one JSON object, the log file holds the same lines, and
// what the sent events name is what came out on the line.
TEST(CliTest, SendsRepeatedlyWritesJsonLinesAndEndsCleanlyOnSigterm) {
  PtyPair pty;
  TempAppDir dir;
  const std::string logPath = dir.Path() + "run.jsonl";
  CliProcess cli(kCli, {"--port", "1=" + pty.SlavePath(), "--send", "1", "065200", "--sleep", "5",
                        "--packet", "1", "abc", "--every", "50", "--json", "--log", logPath});
  const std::string once = std::string("A\xC8") + "abcI\r";
  const std::vector<uint8_t> first = pty.ReadExactly(2 * once.size());
  std::string line(first.begin(), first.end());
  EXPECT_EQ(line, once + once) << cli.Stderr();

  pty.Write(std::string("hi\r\n"));
  ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, "\"rx\""); }));
  cli.Signal(SIGTERM);
  ASSERT_EQ(cli.Wait(), 0) << cli.Stderr();
  for (const uint8_t byte : pty.ReadAvailable()) line.push_back(static_cast<char>(byte));

  std::ifstream file(logPath, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), cli.Stdout());

  std::string sent;
  int rx = 0, packets = 0;
  const Strings lines = cli.Lines();
  for (const std::string& text : lines) {
    QJsonParseError error{};
    const QJsonObject event =
        QJsonDocument::fromJson(QByteArray::fromStdString(text), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text;
    EXPECT_EQ(event["port"].toInt(), 1) << text;
    EXPECT_TRUE(std::regex_match(event["time"].toString().toStdString(),
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})")))
        << text;
    const QString kind = event["kind"].toString();
    std::string bytes;
    for (const QJsonValue byte : event["bytes"].toArray())
      bytes.push_back(static_cast<char>(byte.toInt()));
    const std::string what = event["text"].toString().toStdString();
    if (kind == "sent") {
      EXPECT_EQ(what, Codes(bytes));
      sent += bytes;
    } else if (kind == "log") {
      EXPECT_EQ(what, std::string(expected::kSentPrefix) + "abcI");
      ++packets;
    } else if (kind == "rx") {
      EXPECT_EQ(bytes, "hi\r\n");
      EXPECT_TRUE(std::regex_match(
          what, std::regex(R"(<\d+>h\(104\)<\d+>i\(105\)<\d+>·\(13 \)<\d+>·\(10 \))")))
          << what;
      ++rx;
    } else {
      EXPECT_TRUE(kind == "open" || kind == "close") << text;
    }
  }
  EXPECT_EQ(sent, line);
  EXPECT_EQ(rx, 1);
  EXPECT_GE(packets, 2);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(Contains(lines.back(), "\"kind\":\"close\"")) << lines.back();
}

// The POS terminal answers a register behind ser2net as it does one on a local line; the
// settings after the URL set the server's port, and a server that restarts is gone, then back.
TEST(CliTest, PosTerminalAnswersARegisterBehindRfc2217) {
  if (!Ser2netRig::Available()) GTEST_SKIP() << Ser2netRig::kMissing;
  Ser2netRig rig;
  CashRegisterSim reg(rig.Line());
  CliProcess cli(kCli,
                 {"--port", "1=" + rig.Url() + ":19200,n,8,1", "--pos", "1", "--send", "1", "033"});
  ASSERT_TRUE(cli.WaitForLine([&](const std::string& l) {
    return Contains(l, " com1 open " + rig.Url() + " 19200,n,8,1");
  })) << cli.Stderr();
  // The byte sent first shows the server has the line open and purged.
  EXPECT_EQ(rig.Line().ReadExactly(1), std::vector<uint8_t>{'!'});
  reg.Send(CashRegisterSim::Sttx("001", "1", "10"));
  EXPECT_EQ(reg.ReadRaw(), CashRegisterSim::Framed(reg.Ack("001")));
  termios t{};
  EXPECT_TRUE(WaitUntil(
      [&] { return tcgetattr(rig.Line().SlaveFd(), &t) == 0 && cfgetospeed(&t) == B19200; }));

  rig.Stop();
  EXPECT_TRUE(cli.WaitForLine([&](const std::string& l) {
    return Contains(l, " com1 device gone: the server at " + rig.Url() + " dropped");
  })) << cli.Stdout();
  rig.Start();
  EXPECT_TRUE(cli.WaitForLine([&](const std::string& l) {
    return Contains(l, " com1 device back: " + rig.Url());
  })) << cli.Stdout();
}

// Each --pos port has a terminal of its own: a packet cut in two by another port's packet is
// still one packet, and each is answered on its own port.
TEST(CliTest, PosPortsKeepTheirPacketsApart) {
  PtyPair one, two;
  CashRegisterSim reg1(one), reg2(two);
  CliProcess cli(kCli, {"--port", "1=" + one.SlavePath(), "--pos", "1", "--port",
                        "2=" + two.SlavePath(), "--pos", "2"});
  ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " com2 open "); }))
      << cli.Stderr();
  const std::string first = CashRegisterSim::Framed(CashRegisterSim::Sttx("001", "1", "10"));
  reg1.SendRaw(first.substr(0, 5));
  ASSERT_TRUE(WaitUntil([&] {
    int waiting = -1;
    return ioctl(one.SlaveFd(), FIONREAD, &waiting) == 0 && waiting == 0;
  }));
  reg2.Send(CashRegisterSim::Sttx("001", "2", "20"));
  EXPECT_EQ(reg2.ReadRaw(), CashRegisterSim::Framed(reg2.Ack("001")));
  reg1.SendRaw(first.substr(5));
  EXPECT_EQ(reg1.ReadRaw(), CashRegisterSim::Framed(reg1.Ack("001")));
}

// A reader that stops reading (a paused pager) holds up nothing: the POS terminal answers,
// every line reaches the log, and once stdout is read again one line says what it missed.
TEST(CliTest, StdoutThatNobodyReadsHoldsUpNeitherThePortsNorTheLog) {
  PtyPair pos, flood;
  CashRegisterSim reg(pos);
  TempAppDir dir;
  const std::string logPath = dir.Path() + "run.log";
  CliProcess cli(kCli, {"--port", "1=" + pos.SlavePath(), "--pos", "1", "--port",
                        "2=" + flood.SlavePath(), "--log", logPath});
  ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " com2 open "); }))
      << cli.Stderr();
  cli.SetReadingStdout(false);
  // About twelve bytes of output for each byte in: more than the pipe and the queue hold.
  const size_t floodBytes = 150'000;
  flood.Write(std::string(floodBytes, 'A'));
  reg.Send(CashRegisterSim::Sttx("001", "1", "10"));
  EXPECT_EQ(reg.ReadRaw(), CashRegisterSim::Framed(reg.Ack("001")));
  const auto readLog = [&] {
    std::ifstream file(logPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  const auto floodEntries = [](const std::string& log) {
    size_t entries = 0;
    for (size_t at = 0; (at = log.find("A(65 )", at)) != std::string::npos; ++at) ++entries;
    return entries;
  };
  // Every event has happened before the reader comes back: the note must not wait for more.
  EXPECT_TRUE(WaitUntil([&] { return floodEntries(readLog()) == floodBytes; }));
  cli.SetReadingStdout(true);
  const std::regex note(" dropped [0-9]+ lines not shown");
  EXPECT_TRUE(cli.WaitForLine([&](const std::string& l) { return std::regex_search(l, note); }));
  cli.Signal(SIGTERM);
  ASSERT_EQ(cli.Wait(), 0) << cli.Stderr();
  const std::string log = readLog();
  EXPECT_EQ(floodEntries(log), floodBytes);
  EXPECT_TRUE(Contains(log, std::string(" com1 log ") + expected::kAccepted));
}

// A closed terminal and a reader that has gone end the run as SIGTERM does: ports closed and
// released, the log complete, no word on stderr.
TEST(CliTest, HangUpAndAGoneReaderEndTheRunAsSigtermDoes) {
  for (const bool hangUp : {true, false}) {
    SCOPED_TRACE(hangUp ? "SIGHUP" : "reader gone");
    PtyPair pty;
    TempAppDir dir;
    const std::string logPath = dir.Path() + "run.log";
    CliProcess cli(kCli, {"--port", "1=" + pty.SlavePath(), "--log", logPath});
    ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " com1 open "); }));
    // A byte shown first: the program is past its start, where ThreadSanitizer at times never
    // runs the handler of a signal.
    pty.Write(std::string("x"));
    ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " com1 rx "); }));
    if (hangUp) {
      cli.Signal(SIGHUP);
    } else {
      cli.CloseStdoutReader();
      pty.Write(std::string("y"));  // something to write
    }
    EXPECT_EQ(cli.Wait(), 0);
    EXPECT_EQ(cli.Stderr(), "");
    std::ifstream file(logPath);
    std::string line, last;
    while (std::getline(file, line)) last = line;
    EXPECT_EQ(WithoutTime(last), "com1 close " + pty.SlavePath());
    int exclusive = -1;
    ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
  }
}

// A log that stops taking lines ends the run even when the line then falls quiet: the stall
// is watched, not only met by the next line.
TEST(CliTest, ALogThatStallsEndsTheRunOnAQuietLine) {
  PtyPair pty;
  TempAppDir dir;
  const std::string fifo = dir.Path() + "log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // open, never read
  ASSERT_GE(reader, 0);
  fcntl(reader, F_SETPIPE_SZ, 4096);
  CliProcess cli(kCli, {"--port", "1=" + pty.SlavePath(), "--log", fifo});
  ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " com1 open "); }));
  pty.Write(std::string(2000, 'A'));  // more lines than the pipe holds, then silence
  EXPECT_EQ(cli.Wait(std::chrono::seconds(40)), 1);
  EXPECT_TRUE(Contains(cli.Stderr(), "--log: " + fifo + " does not keep up")) << cli.Stderr();
  close(reader);
}

TEST(CliTest, DurationEndsTheRunWithItsPortsClosed) {
  PtyPair pty;
  CliProcess cli(kCli, {"--port", "1=" + pty.SlavePath(), "--duration", "0.5"});
  ASSERT_EQ(cli.Wait(), 0) << cli.Stderr();
  Strings events;
  for (const std::string& line : cli.Lines()) events.push_back(WithoutTime(line));
  EXPECT_EQ(events, (Strings{"com1 open " + pty.SlavePath() + " 9600,n,8,1",
                             "com1 close " + pty.SlavePath()}));
}

}  // namespace

namespace {

// The lines a pseudo-terminal lacks come from the line shim, preloaded into wirelab-cli.
TEST(CliTest, ReportsTheModemLinesSetsTheOutputsSendsABreakAndNamesARefusedRate) {
  PtyPair pty;
  LineShim shim(pty.SlavePath());
  LineShimState& line = shim.State();
  line.inputs = TIOCM_CTS;
  line.outputs = TIOCM_RTS;
  const std::vector<std::string> env = shim.Environment(WIRELAB_LINE_SHIM_PATH);
  {
    CliProcess cli(kCli,
                   {"--port", "1=" + pty.SlavePath(), "--lines", "--dtr", "1=1", "--rts", "1=0",
                    "--break", "1", "--send", "1", "065", "--json"},
                   {}, env);
    // The sends wait for the break.
    ASSERT_EQ(pty.ReadExactly(1), std::vector<uint8_t>{65});
    EXPECT_EQ(line.breaks.load(), 1u);
    EXPECT_GE(line.lastBreakMs.load(), 250u);
    EXPECT_LT(line.lastBreakMs.load(), 250u + 200);
    EXPECT_EQ(line.outputs.load(), static_cast<uint32_t>(TIOCM_DTR));
    line.inputs = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
    ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, "\"dsr\":1"); }));
    cli.Signal(SIGTERM);
    ASSERT_EQ(cli.Wait(), 0) << cli.Stderr();
    Strings kinds;
    for (const std::string& text : cli.Lines()) {
      const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
      const std::string kind = o["kind"].toString().toStdString();
      if (kind == "open" || kind == "close") continue;
      kinds.push_back(kind + " " + o["text"].toString().toStdString());
      if (kind == "lines") {
        EXPECT_TRUE(o["known"].toBool()) << text;
      }
    }
    EXPECT_EQ(kinds, (Strings{"lines cts=1 dsr=0 dcd=0 ri=0", "set dtr=1 rts=0", "break 250",
                              "sent 065", "lines cts=1 dsr=1 dcd=1 ri=0"}));
  }
  {
    // Without the shim's lines the text form says why, and no state is made up.
    CliProcess cli(kCli, {"--port", "1=" + pty.SlavePath(), "--lines", "--hex"});
    ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " lines "); }));
    pty.Write("A");
    ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " rx "); }));
    cli.Signal(SIGTERM);
    ASSERT_EQ(cli.Wait(), 0) << cli.Stderr();
    ASSERT_GE(cli.Lines().size(), 3u);
    EXPECT_EQ(WithoutTime(cli.Lines()[1]),
              "com1 lines unknown: the device has no modem lines (a pseudo-terminal or a "
              "network port)");
    EXPECT_TRUE(
        std::regex_match(WithoutTime(cli.Lines()[2]), std::regex(R"(com1 rx <\d+>A\(x41\))")))
        << cli.Lines()[2];
  }
  {
    line.roundAbove = 115200;  // as a driver that rounds what its clock cannot make
    CliProcess cli(kCli, {"--port", "1=" + pty.SlavePath() + ":250000,n,8,1"}, {}, env);
    EXPECT_EQ(cli.Wait(), 1);
    EXPECT_TRUE(Contains(cli.Stderr(),
                         "port 1: settings not accepted: \"250000,n,8,1\": the "
                         "baud rate 250000 is not one this device takes (it "
                         "stayed at 115200)"))
        << cli.Stderr();
  }
}

}  // namespace
