// A by-the-book sale as a scenario: examples/sale.scn run by one wirelab-cli against another
// playing the POS terminal (--pos 1), their pseudo-terminals joined by a cable. Each round
// starts the scenario's program afresh; the figures are the whole run (start to exit) and the
// scenario's own time from its JUnit report. Prints figures; asserts nothing.
//
//   scenario_bench [rounds]   (default 20)

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "bench_stats.h"
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
  return 0;
}
