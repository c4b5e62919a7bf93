// wirelab-cli as a rig runs it, next to the window.
//
// 1. POS reply time: wirelab-cli --pos 1 on a pseudo-terminal, its stdout into a file, then
//    into a pipe that nobody reads (a paused pager). A cash register in this process sends a
//    start, then items, each after the reply to the one before, and times each from the write
//    of its carriage return to the read of the reply's carriage return. Every reply is checked
//    byte for byte. (bench/pos_reply_bench measures the same through the window.)
// 2. CPU while idle with four ports open, as a share of one core: wirelab-cli (read from
//    /proc), then the window (this process, offscreen), each over the same period.
//
// With --wine, the reply times of the Windows build's wirelab-cli.exe too, in the same run:
// under Wine, with Wine's COM1 pointed at the pseudo-terminal (tests/windows/wine_ports.sh).
//
// Prints figures; asserts nothing.
//
//   cli_bench [packets] [idle seconds]   (defaults 1000 and 10)
//   cli_bench --wine PATH/wirelab-cli.exe [packets]

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_stats.h"
#include "cash_register_sim.h"
#include "cli_process.h"
#include "platform/time/qt_clock.h"
#include "pty_pair.h"
#include "pty_reply.h"
#include "test_support.h"
#include "window/wirelabmain.h"

namespace {

using Clock = std::chrono::steady_clock;

bool WaitForOpenLines(CliProcess& cli, const std::string& path, int ports) {
  const auto until = Clock::now() + std::chrono::seconds(20);
  while (Clock::now() < until) {
    std::ifstream file(path);
    int open = 0;
    for (std::string line; std::getline(file, line);) {
      if (line.find(" open ") != std::string::npos) ++open;
    }
    if (open == ports) return true;
    if (cli.Wait(std::chrono::milliseconds(20)) != -1) return false;  // it ended
  }
  return false;
}

// How a wirelab-cli is started, and how its port 1 is given the pseudo-terminal.
struct CliRunner {
  std::string name;
  std::string program;
  std::vector<std::string> leadingArgs;
  std::function<std::string(const std::string& ptyPath)> portOne;  // --port's value
  double goalMs;
};

CliRunner LinuxCli() {
  return {"wirelab-cli",
          WIRELAB_CLI_PATH,
          {},
          [](const std::string& path) { return "1=" + path; },
          1.0};
}

CliRunner WineCli(const std::string& exe) {
  const std::string windows = std::string(WIRELAB_SOURCE_DIR) + "/tests/windows/";
  return {"wirelab-cli.exe under Wine",
          windows + "wine_run.sh",
          {exe},
          [windows](const std::string& path) {
            const std::string command = windows + "wine_ports.sh COM1=" + path;
            if (std::system(command.c_str()) != 0)
              std::printf("cli_bench: %s failed\n", command.c_str());
            return std::string("1");
          },
          5.0};
}

void ReplyTime(const CliRunner& runner, int packets, bool stdoutStuck) {
  PtyPair pty;
  TempAppDir dir;
  const std::string out = stdoutStuck ? std::string() : dir.Path() + "out.txt";
  std::vector<std::string> args = runner.leadingArgs;
  for (const std::string& arg : {std::string("--port"), runner.portOne(pty.SlavePath()),
                                 std::string("--pos"), std::string("1")}) {
    args.push_back(arg);
  }
  CliProcess cli(runner.program, args, out);
  const bool open = stdoutStuck ? cli.WaitForLine([](const std::string& l) {
    return l.find(" open ") != std::string::npos;
  })
                                : WaitForOpenLines(cli, out, 1);
  if (!open) {
    std::printf("cli_bench: wirelab-cli did not open its port: %s\n", cli.Stderr().c_str());
    return;
  }
  if (stdoutStuck) cli.SetReadingStdout(false);
  std::vector<double> ms;
  int wrong = 0, missing = 0;
  std::string reply;
  for (int i = 1; i <= packets && missing == 0; ++i) {
    const std::string no = CashRegisterSim::Number(i);
    const std::string text =
        i == 1 ? no + "STTX12|34" : no + "ITEM01|8690504|1|" + std::to_string(i);
    pty.Write(CashRegisterSim::Framed(text));
    const Clock::time_point written = Clock::now();
    if (!ReadReply(pty.MasterFd(), reply, written + std::chrono::seconds(5))) {
      ++missing;
      break;
    }
    ms.push_back(Ms(Clock::now() - written));
    if (reply != CashRegisterSim::Framed("001" + no + "ACK")) ++wrong;
  }
  std::printf(
      "cli_bench: POS reply time through %s, %d packets (STTX, then ITEMs), from "
      "the packet's CR written to the reply's CR read, stdout %s\n",
      runner.name.c_str(), packets, stdoutStuck ? "into a pipe nobody reads" : "into a file");
  std::printf("  replies %zu, wrong %d, missing %d\n", ms.size(), wrong, missing);
  std::printf("  reply time: p50 %.3f ms, p99 %.3f ms, max %.3f ms (goal p99 <= %g ms)\n",
              Percentile(ms, 0.5), Percentile(ms, 0.99),
              ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()), runner.goalMs);
  cli.Signal(SIGTERM);
  cli.Wait();
}

double CpuSecondsOfProcess(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  const size_t close = text.rfind(')');  // the command name may hold blanks
  if (close == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::string field;
  for (size_t i = close + 2; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ' ') {
      fields.push_back(field);
      field.clear();
    } else {
      field.push_back(text[i]);
    }
  }
  // Fields 14 and 15 of the file (utime, stime) are 11 and 12 after the name and the state.
  if (fields.size() < 13) return 0;
  const double ticks = std::atof(fields[11].c_str()) + std::atof(fields[12].c_str());
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double CpuSecondsOfSelf() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void IdleCpu(const std::string& program, QApplication& app, int seconds) {
  PtyPair ptys[4];
  TempAppDir dir;
  {
    const std::string out = dir.Path() + "out.txt";
    std::vector<std::string> args;
    for (int n = 1; n <= 4; ++n) {
      args.push_back("--port");
      args.push_back(std::to_string(n) + "=" + ptys[n - 1].SlavePath());
    }
    CliProcess cli(program, args, out);
    if (!WaitForOpenLines(cli, out, 4)) {
      std::printf("cli_bench: wirelab-cli did not open its ports: %s\n", cli.Stderr().c_str());
      return;
    }
    const double before = CpuSecondsOfProcess(cli.Pid());
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = CpuSecondsOfProcess(cli.Pid()) - before;
    std::printf("cli_bench: CPU while idle, four ports open, over %d s\n", seconds);
    std::printf("  wirelab-cli: %.2f%% of a core (goal < 1%%)\n", 100.0 * used / seconds);
    cli.Signal(SIGTERM);
    cli.Wait();
  }
  std::string ini = "[Ports]\n";
  for (int n = 1; n <= 4; ++n)
    ini += "Com" + std::to_string(n) + "=" + ptys[n - 1].SlavePath() + "\n";
  dir.WriteFile("WireLab.ini", ini);
  platform::QtClock clock;
  platform::MessageBoxes boxes;
  auto form = std::make_unique<TForm5>(clock, boxes, platform::FilesBeside(dir.Path()));
  form->show();
  for (int n = 1; n <= 4; ++n) form->CheckBox[n]->click();
  QApplication::processEvents();
  const double before = CpuSecondsOfSelf();
  QTimer::singleShot(seconds * 1000, [] { QCoreApplication::quit(); });
  app.exec();
  const double used = CpuSecondsOfSelf() - before;
  std::printf("  the window (offscreen): %.2f%% of a core\n", 100.0 * used / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  if (argc > 2 && std::string(argv[1]) == "--wine") {
    const int packets = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1000;
    ReplyTime(LinuxCli(), packets, false);
    ReplyTime(WineCli(argv[2]), packets, false);
    return 0;
  }
  const int packets = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
  ReplyTime(LinuxCli(), packets, false);
  ReplyTime(LinuxCli(), packets, true);
  IdleCpu(WIRELAB_CLI_PATH, app, seconds);
  return 0;
}
