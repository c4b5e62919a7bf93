// A by-the-book sale as a scenario: examples/sale.scn run by one wirelab-cli against another
// playing the POS terminal (--pos 1), their pseudo-terminals joined by a cable. Each round
// starts the scenario's program afresh; the figures are the whole run (start to exit) and the
// scenario's own time from its JUnit report. Then how far the scenario's clock is off on this
// machine as it is (run it beside a build to see it loaded): a terminal's `delay 200` from the
// register's packet to the reply, and an `expect ... within 300` that nothing answers, from
// the JUnit report. Prints figures; asserts nothing.
//
//   scenario_bench [rounds]   (default 20)

#include <QCoreApplication>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "cash_register_sim.h"
#include "cli_process.h"
#include "pty_cable.h"
#include "pty_pair.h"
#include "test_support.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
  const std::string cli = WIRELAB_CLI_PATH;
  const std::string sale = WIRELAB_SOURCE_DIR "/examples/sale.scn";
  PtyPair one, two;
  PtyCable cable(one, two);
  TempAppDir dir;
  const std::string report = dir.Path() + "report.xml";
  CliProcess pos(cli, {"--port", "1=" + one.SlavePath(), "--pos", "1"});
  if (!pos.WaitForLine([](const std::string& l) { return l.find(" com1 open ") != l.npos; })) {
    std::fprintf(stderr, "the terminal did not start: %s\n", pos.Stderr().c_str());
    return 1;
  }
  std::vector<double> whole, own;
  const std::regex time(R"re(testcase [^>]*time="([0-9.]+)")re");
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    CliProcess run(cli, {"--port", "1=" + two.SlavePath(), "--scenario", sale, "--junit", report});
    const int code = run.Wait();
    whole.push_back(Ms(std::chrono::steady_clock::now() - start));
    if (code != 0) {
      std::fprintf(stderr, "round %d failed (%d):\n%s%s\n", i, code, run.Stdout().c_str(),
                   run.Stderr().c_str());
      return 1;
    }
    std::ifstream file(report);
    const std::string xml(std::istreambuf_iterator<char>(file), {});
    std::smatch match;
    if (std::regex_search(xml, match, time)) own.push_back(std::stod(match[1]) * 1000);
  }
  std::printf(
      "by-the-book sale (examples/sale.scn, 15 steps) against wirelab-cli --pos, %d rounds\n",
      rounds);
  std::printf("  whole run, start to exit: median %.1f ms, p90 %.1f ms, max %.1f ms\n",
              Percentile(whole, 0.5), Percentile(whole, 0.9), Max(whole));
  std::printf("  the scenario itself:      median %.1f ms, p90 %.1f ms, max %.1f ms\n",
              Percentile(own, 0.5), Percentile(own, 0.9), Max(own));

  // The timings: each round a fresh program, so no state carries over.
  const auto scenario = [&](const std::string& name, const std::string& steps) {
    dir.WriteFile(name, steps);
    return dir.Path() + name;
  };
  const std::string delayed = scenario("delay.scn", "terminal\nfault STTX delay 200\nwait 60000\n");
  const std::string waiting = scenario("within.scn", "expect 001STTX7|1001 within 300\n");
  std::vector<double> delayLate, withinLate;
  for (int i = 0; i < rounds; ++i) {
    PtyPair line;
    CashRegisterSim reg(line);
    CliProcess terminal(cli, {"--port", "1=" + line.SlavePath(), "--scenario", delayed});
    // The scenario empties the port as it starts: the packet goes once its fault is in force.
    if (!terminal.WaitForLine(
            [](const std::string& l) { return l.find("delay 200 passed") != l.npos; })) {
      std::fprintf(stderr, "the scenario's terminal did not start\n");
      return 1;
    }
    const auto sent = std::chrono::steady_clock::now();
    reg.Send(CashRegisterSim::Sttx("001", "7", "1001"));
    if (!reg.ReadFrame()) {
      std::fprintf(stderr, "round %d: no reply\n", i);
      return 1;
    }
    delayLate.push_back(Ms(std::chrono::steady_clock::now() - sent) - 200);
    terminal.Signal(SIGTERM);
    terminal.Wait();

    CliProcess silent(
        cli, {"--port", "1=" + line.SlavePath(), "--scenario", waiting, "--junit", report});
    silent.Wait();
    std::ifstream file(report);
    const std::string xml(std::istreambuf_iterator<char>(file), {});
    std::smatch match;
    if (std::regex_search(xml, match, time)) withinLate.push_back(std::stod(match[1]) * 1000 - 300);
  }
  std::printf("how late the scenario's clock is, %d rounds\n", rounds);
  std::printf("  fault delay 200, packet to reply: p50 %+.1f ms, p99 %+.1f ms, max %+.1f ms\n",
              Percentile(delayLate, 0.5), Percentile(delayLate, 0.99), Max(delayLate));
  std::printf("  expect within 300, unanswered:    p50 %+.1f ms, p99 %+.1f ms, max %+.1f ms\n",
              Percentile(withinLate, 0.5), Percentile(withinLate, 0.99), Max(withinLate));
  return 0;
}
