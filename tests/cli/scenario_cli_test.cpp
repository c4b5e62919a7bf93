// Scenario files run by the real wirelab-cli on real pseudo-terminals: the examples against
// WireLab playing the other side, a failing step named with its line, a file refused before
// anything is sent, and the terminal's faults as the register sees them on the line.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cash_register_sim.h"
#include "cli_process.h"
#include "pty_cable.h"
#include "pty_pair.h"
#include "test_support.h"

namespace {

using Strings = std::vector<std::string>;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

const std::string kCli = WIRELAB_CLI_PATH;
const std::string kExamples = WIRELAB_SOURCE_DIR "/examples/";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string Said(CliProcess& cli) {
  std::string all;
  for (const std::string& line : cli.Lines()) all += line + "\n";
  return all + cli.Stderr();
}

// The register's side of each example that plays the terminal, and a by-the-book register
// against the example that plays the register.
const char* kRegisterSale =
    "send 001STTX7|1001\nexpect 001001ACK\nsend 002ITEM01|8690504|2|250\nexpect 001002ACK\n";
const char* kRegisterEnd =
    "expect ???PROM500|\nack\nsend 004ODTI1|500\nexpect 001004ACK\nexpect ???PROV00|00|500\n"
    "ack\n";

TEST(ScenarioCliTest, ExamplesPassAgainstWireLabPlayingTheOtherSide) {
  const struct {
    std::string example;
    std::string registerSide;  // empty: the example plays the register against --pos
  } rows[] = {
      {"sale.scn", ""},
      {"item-nack.scn",
       std::string(kRegisterSale)
               .replace(std::string(kRegisterSale).find("expect 001002ACK"), 16,
                        "expect 001002NACK\nsend 002ITEM01|8690504|2|250\nexpect 001002ACK") +
           "send 003ENTX1|2|500\nexpect 001003ACK\n" + kRegisterEnd},
      {"late-terminal.scn", std::string(kRegisterSale) +
                                "send 003ENTX1|2|500\nexpect 001003ACK within 6000\n"
                                // the prompt's repeat at 2 s waited behind the held reply
                                "expect ???PROM500|\n" +
                                kRegisterEnd},
      {"prov-repeat.scn", std::string(kRegisterSale) +
                              "send 003ENTX1|2|500\nexpect 001003ACK\nexpect ???PROM500|\nack\n"
                              "send 004ODTI1|500\nexpect 001004ACK\nexpect ???PROV00|00|500\n"
                              "ack\nexpect ???PROV00|00|500 within 4000\nack\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.example);
    PtyPair one, two;
    PtyCable cable(one, two);
    TempAppDir dir;
    dir.WriteFile("register.scn", row.registerSide);
    const bool playsRegister = row.registerSide.empty();
    CliProcess other(kCli, playsRegister ? Strings{"--port", "1=" + one.SlavePath(), "--pos", "1"}
                                         : Strings{"--port", "1=" + one.SlavePath(), "--scenario",
                                                   kExamples + row.example});
    ASSERT_TRUE(other.WaitForLine([&](const std::string& l) {
      return Contains(l, playsRegister ? " com1 open " : ": terminal passed");
    })) << Said(other);
    const auto started = Clock::now();
    CliProcess cli(kCli, {"--port", "1=" + two.SlavePath(), "--scenario",
                          playsRegister ? kExamples + row.example : dir.Path() + "register.scn"});
    EXPECT_EQ(cli.Wait(milliseconds(60000)), 0) << Said(cli) << "\n--- other side\n" << Said(other);
    if (playsRegister) {
      other.Signal(SIGTERM);
      EXPECT_EQ(other.Wait(), 0);
    } else {
      EXPECT_EQ(other.Wait(milliseconds(60000)), 0) << Said(other);
      EXPECT_TRUE(Contains(Said(other), "expect-sale within 60000 passed")) << Said(other);
    }
    if (row.example == "late-terminal.scn") {
      EXPECT_GE(Clock::now() - started, milliseconds(3000));
    }
  }
}

// Two files, the second failing on its line 3: the run goes on to the end, exits 1, names the
// line, what was expected and what came, and the JUnit report counts one failure in two.
TEST(ScenarioCliTest, AWrongExpectationFailsNamingItsLine) {
  PtyPair one, two;
  PtyCable cable(one, two);
  TempAppDir dir;
  dir.WriteFile("wrong.scn",
                "# the terminal accepts this STTX\nsend 001STTX7|1002\n"
                "expect 001001NACK within 3000\nsend 002ITEM01|1|1|1\n");
  CliProcess pos(kCli, {"--port", "1=" + one.SlavePath(), "--pos", "1"});
  ASSERT_TRUE(pos.WaitForLine([](const std::string& l) { return Contains(l, " com1 open "); }));
  const std::string junit = dir.Path() + "report.xml";
  CliProcess cli(kCli, {"--port", "1=" + two.SlavePath(), "--scenario", kExamples + "sale.scn",
                        "--scenario", dir.Path() + "wrong.scn", "--junit", junit});
  EXPECT_EQ(cli.Wait(), 1) << Said(cli);
  const std::string said = Said(cli);
  EXPECT_TRUE(Contains(said, "com1 step line 15: ack passed ")) << said;
  EXPECT_TRUE(Contains(said, "scenario " + kExamples + "sale.scn passed")) << said;
  EXPECT_TRUE(Contains(said, "com1 step line 3: expect 001001NACK within 3000 failed ")) << said;
  EXPECT_TRUE(Contains(said,
                       ": a different packet: expected \"001001NACKD\\r\" got "
                       "\"001001ACKD\\r\""))
      << said;
  EXPECT_FALSE(Contains(said, "step line 4: send 002ITEM")) << said;
  EXPECT_TRUE(Contains(said, "scenario " + dir.Path() + "wrong.scn failed")) << said;

  std::ifstream file(junit);
  const std::string report(std::istreambuf_iterator<char>(file), {});
  EXPECT_TRUE(Contains(report,
                       "<testsuite name=\"wirelab-cli scenarios\" tests=\"2\" "
                       "failures=\"1\" errors=\"0\" skipped=\"0\""))
      << report;
  EXPECT_TRUE(Contains(report, "<failure message=\"line 3: expect 001001NACK within 3000\""))
      << report;
  pos.Signal(SIGTERM);
  EXPECT_EQ(pos.Wait(), 0);
}

TEST(ScenarioCliTest, AFileThatDoesNotParseIsRefusedBeforeAnythingIsSent) {
  PtyPair pty;
  TempAppDir dir;
  dir.WriteFile("good.scn", "send 001STTX7|1001\n");
  dir.WriteFile("bad.scn", "send 001STTX7|1001\n\nexpect 001001ACK within soon\nwiat 100\n");
  for (const Strings& args :
       {Strings{"--scenario", dir.Path() + "good.scn", "--scenario", dir.Path() + "bad.scn"},
        Strings{"--scenario", dir.Path() + "missing.scn"},
        Strings{"--scenario", dir.Path() + "good.scn", "--pos", "1"}}) {
    Strings all = {"--port", "1=" + pty.SlavePath()};
    all.insert(all.end(), args.begin(), args.end());
    CliProcess cli(kCli, all);
    EXPECT_EQ(cli.Wait(), 2) << Said(cli);
    EXPECT_EQ(cli.Stdout(), "");
    EXPECT_TRUE(Contains(cli.Stderr(), "wirelab-cli: --scenario: ")) << cli.Stderr();
  }
  CliProcess cli(kCli, {"--port", "1=" + pty.SlavePath(), "--scenario", dir.Path() + "bad.scn"});
  EXPECT_EQ(cli.Wait(), 2);
  EXPECT_TRUE(Contains(cli.Stderr(), "bad.scn: line 4: unknown step 'wiat'")) << cli.Stderr();
  EXPECT_TRUE(pty.ReadAvailable().empty());
}

// The register on the master side meets each fault of the terminal in turn; the scenario ends
// on an expect-sale that times out, naming the transaction still open.
TEST(ScenarioCliTest, TerminalFaultsShowOnTheLineWithTheirTiming) {
  PtyPair pty;
  CashRegisterSim reg(pty);
  TempAppDir dir;
  dir.WriteFile("faults.scn",
                "terminal\n"
                "fault STTX drop times 1\nfault STTX nack times 1\nfault STTX bad-check times 1\n"
                "fault ITEM silent times 1\nfault ITEM delay 700 times 1\n"
                "fault ENTX hangup 700 times 1\n"
                "expect 001STTX7|1001 within 20000\nexpect 001STTX7|1001\n"
                "expect 001STTX7|1001\nexpect 002ITEM01|1|1|5\nexpect 002ITEM01|1|1|5\n"
                "expect 003ENTX1|1|5\nexpect 003ENTX1|1|5 within 5000\n"
                "expect-sale within 1500\n");
  CliProcess cli(kCli, {"--port", "1=" + pty.SlavePath(), "--scenario", dir.Path() + "faults.scn"});
  ASSERT_TRUE(cli.WaitForLine([](const std::string& l) {
    return Contains(l, ": terminal passed");
  })) << Said(cli);
  const std::string sttx = CashRegisterSim::Sttx("001", "7", "1001");
  reg.Send(sttx);  // dropped
  EXPECT_TRUE(reg.Quiet(milliseconds(300))) << reg.Unread();
  reg.Send(sttx);
  EXPECT_EQ(reg.ReadRaw(), CashRegisterSim::Framed(reg.Nack("001")));
  reg.Send(sttx);
  const auto badCheck = reg.ReadFrame();
  ASSERT_TRUE(badCheck);
  EXPECT_EQ(badCheck->text, reg.Ack("001"));
  EXPECT_FALSE(badCheck->LetterRight());

  const std::string item = CashRegisterSim::Item("002", "01", "1", "1", "5");
  reg.Send(item);  // the terminal takes it, its reply is lost
  EXPECT_TRUE(reg.Quiet(milliseconds(300))) << reg.Unread();
  auto sent = Clock::now();
  reg.Send(item);
  EXPECT_EQ(reg.ReadRaw(), CashRegisterSim::Framed(reg.Ack("002")));
  EXPECT_GE(Clock::now() - sent, milliseconds(700));

  const std::string entx = CashRegisterSim::Entx("003", "1", "1", "5");
  sent = Clock::now();
  reg.Send(entx);
  ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " com1 close "); }));
  size_t opens = 0;
  ASSERT_TRUE(cli.WaitForLine([&](const std::string& l) {
    return Contains(l, " com1 open ") && ++opens == 2;
  })) << Said(cli);
  EXPECT_GE(Clock::now() - sent, milliseconds(700));
  reg.Send(entx);
  EXPECT_EQ(reg.ReadRaw(), CashRegisterSim::Framed(reg.Ack("003")));
  EXPECT_EQ(reg.ReadRaw(), CashRegisterSim::Framed(CashRegisterSim::Prom("001", "5")));

  EXPECT_EQ(cli.Wait(), 1) << Said(cli);
  const std::string said = Said(cli);
  EXPECT_TRUE(Contains(said, "step line 14: expect 003ENTX1|1|5 within 5000 passed")) << said;
  EXPECT_TRUE(Contains(said, "step line 15: expect-sale within 1500 failed ")) << said;
  EXPECT_TRUE(Contains(said,
                       "no sale closed within 1500 ms: expected \"STTX ... PROV "
                       "acknowledged\" got \"transaction 1001 still open, last sent "
                       "001PROM5|\""))
      << said;
}

}  // namespace

namespace {

// A session with a register recorded as a scenario, which then replays the register's side
// against a fresh terminal and passes.
TEST(ScenarioCliTest, ARecordedSessionReplaysTheRegistersSide) {
  PtyPair pty;
  CashRegisterSim reg(pty);
  TempAppDir dir;
  const std::string recorded = dir.Path() + "recorded.scn";
  {
    CliProcess cli(kCli,
                   {"--port", "1=" + pty.SlavePath(), "--pos", "1", "--record-scenario", recorded});
    ASSERT_TRUE(cli.WaitForLine([](const std::string& l) { return Contains(l, " com1 open "); }));
    const auto exchange = [&](const std::string& text, const Strings& replies) {
      reg.Send(text);
      for (const std::string& reply : replies) {
        EXPECT_EQ(reg.ReadRaw(), CashRegisterSim::Framed(reply));
      }
    };
    exchange(CashRegisterSim::Sttx("001", "7", "1001"), {reg.Ack("001")});
    reg.SendWithLetter("002ITEM01|1|1|500", 'A');  // a wrong letter
    EXPECT_EQ(reg.ReadRaw(), CashRegisterSim::Framed(reg.Nack("002")));
    exchange(CashRegisterSim::Item("002", "01", "1", "1", "500"), {reg.Ack("002")});
    exchange(CashRegisterSim::Entx("003", "1", "1", "500"),
             {reg.Ack("003"), CashRegisterSim::Prom("001", "500")});
    exchange(CashRegisterSim::AckOf("001"), {});
    exchange(CashRegisterSim::Odti("004", "1", "500"),
             {reg.Ack("004"), CashRegisterSim::Prov("002", "500")});
    exchange(CashRegisterSim::AckOf("002"), {});
    EXPECT_TRUE(reg.Quiet());
    cli.Signal(SIGTERM);
    ASSERT_EQ(cli.Wait(), 0) << Said(cli);
  }
  std::ifstream file(recorded);
  std::string header;
  std::getline(file, header);
  EXPECT_EQ(header.rfind("# Recorded by wirelab-cli on ", 0), 0u) << header;
  const std::string steps(std::istreambuf_iterator<char>(file), {});
  EXPECT_EQ(steps,
            "send 001STTX7|1001\nexpect 001001ACK within 1000\n"
            "send-codes 048048050073084069077048049124049124049124053048048065013\n"
            "expect 001002NACK within 1000\n"
            "send 002ITEM01|1|1|500\nexpect 001002ACK within 1000\n"
            "send 003ENTX1|1|500\nexpect 001003ACK within 1000\nexpect ???PROM500| within 1000\n"
            "ack\n"
            "send 004ODTI1|500\nexpect 001004ACK within 1000\n"
            "expect ???PROV00|00|500 within 1000\nack\n");

  PtyPair one, two;
  PtyCable cable(one, two);
  CliProcess pos(kCli, {"--port", "1=" + one.SlavePath(), "--pos", "1"});
  ASSERT_TRUE(pos.WaitForLine([](const std::string& l) { return Contains(l, " com1 open "); }));
  CliProcess replay(kCli, {"--port", "1=" + two.SlavePath(), "--scenario", recorded});
  EXPECT_EQ(replay.Wait(), 0) << Said(replay);
  pos.Signal(SIGTERM);
  EXPECT_EQ(pos.Wait(), 0);
}

}  // namespace
