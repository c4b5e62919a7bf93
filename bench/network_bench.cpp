// A port on another machine through a real ser2net on loopback, beside the local
// pseudo-terminal, in the same run.
//
// 1. POS reply time: wirelab-cli --pos 1, once on the pseudo-terminal itself and once through
//    ser2net (rfc2217://), the register on the line's far side; each packet timed from the
//    write of its carriage return to the read of the reply's. p50, p99 and the maximum; and
//    through ser2net with its chardelay off (it then passes the register's bytes at once).
// 2. One port flat out: a port object in this process (TRealCom, as the programs make them)
//    receives bytes as fast as the line gives them, then sends as fast as it can, on the
//    pseudo-terminal and through ser2net: bytes per second and this process's CPU time per
//    second (the line's writer or reader thread in this process excluded).
//
// Prints figures; asserts nothing.
//
//   network_bench [packets] [megabytes]   (defaults 500 and 4)

#include <sys/resource.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_stats.h"
#include "cash_register_sim.h"
#include "cli_process.h"
#include "platform/thread/main_thread_calls.h"
#include "pty_pair.h"
#include "ser2net_rig.h"
#include "serial/CommObjects.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

using Packets = CashRegisterSim;

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void PosReplies(const char* name, PtyPair& line, const std::string& device, int packets) {
  CliProcess cli(WIRELAB_CLI_PATH, {"--port", "1=" + device, "--pos", "1", "--send", "1", "033"},
                 "/dev/null");
  // The byte sent first shows the line open (and, through ser2net, purged).
  if (line.ReadExactly(1, std::chrono::seconds(10)).size() != 1) {
    std::printf("%-24s no start\n", name);
    return;
  }
  std::vector<double> ms;
  int wrong = 0;
  for (int i = 1; i <= packets; ++i) {
    const std::string no = Packets::Number(i);
    const std::string text =
        i == 1 ? no + "STTX12|34" : no + "ITEM01|8690504|1|" + std::to_string(i);
    const std::string expected = Packets::Framed("001" + no + "ACK");
    line.Write(Packets::Framed(text));
    const Clock::time_point written = Clock::now();
    const std::vector<uint8_t> reply = line.ReadExactly(expected.size(), std::chrono::seconds(5));
    if (reply.size() < expected.size()) break;
    ms.push_back(Ms(Clock::now() - written));
    if (std::string(reply.begin(), reply.end()) != expected) ++wrong;
  }
  std::printf("%-24s %5zu replies  p50 %6.3f ms  p99 %6.3f ms  max %7.3f ms  wrong %d\n", name,
              ms.size(), Percentile(ms, 0.5), Percentile(ms, 0.99), Max(ms), wrong);
}

void FlatOut(const char* name, PtyPair& line, const std::string& device, size_t bytes) {
  platform::MainThreadCalls calls;
  platform::ComDevices devices;
  devices.Set(1, device);
  TRealCom port(calls, true, nullptr, 1, "115200,n,8,1", devices);
  size_t received = 0;
  port.OnReceive = [&](TPeripheral*, uint8_t) { ++received; };
  port.Resume();
  port.SendByte(nullptr, '!');
  line.ReadExactly(1, std::chrono::seconds(10));

  // Receiving: a writer thread fills the line; this thread delivers as the programs do.
  std::atomic<double> writerCpu{0};
  const double cpuBefore = CpuSeconds(RUSAGE_SELF);
  const Clock::time_point start = Clock::now();
  std::thread writer([&] {
    const std::vector<uint8_t> block(4096, 0x55);
    for (size_t sent = 0; sent < bytes;) {
      line.AwaitRoom(std::chrono::milliseconds(100));
      sent += line.WriteSome(block);
    }
    writerCpu = CpuSeconds(RUSAGE_THREAD);
  });
  WaitUntil([&] { return received >= bytes; }, std::chrono::seconds(120));
  const double seconds = Ms(Clock::now() - start) / 1000;
  writer.join();
  const double cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore - writerCpu;
  std::printf("%-24s receive %8.0f bytes/s  CPU %5.1f%% of a core\n", name, received / seconds,
              100 * cpu / seconds);

  // Sending: the main thread hands the bytes over one by one; a reader thread empties the line.
  const size_t sendBytes = bytes / 4;
  std::atomic<double> readerCpu{0};
  const double cpuBefore2 = CpuSeconds(RUSAGE_SELF);
  const Clock::time_point start2 = Clock::now();
  std::thread reader([&] {
    line.ReadExactly(sendBytes, std::chrono::seconds(120));
    readerCpu = CpuSeconds(RUSAGE_THREAD);
  });
  const std::vector<uint8_t> data(sendBytes, 0xAA);
  port.SendBuffer(nullptr, data.data(), static_cast<int32_t>(data.size()));
  reader.join();
  const double seconds2 = Ms(Clock::now() - start2) / 1000;
  const double cpu2 = CpuSeconds(RUSAGE_SELF) - cpuBefore2 - readerCpu;
  std::printf("%-24s send    %8.0f bytes/s  CPU %5.1f%% of a core\n", name, sendBytes / seconds2,
              100 * cpu2 / seconds2);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (!Ser2netRig::Available()) {
    std::printf("%s\n", Ser2netRig::kMissing);
    return 0;
  }
  const int packets = argc > 1 ? std::atoi(argv[1]) : 500;
  const size_t bytes = (argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 4) << 20;

  std::printf("POS reply time, wirelab-cli --pos 1, %d packets\n", packets);
  {
    PtyPair local;
    PosReplies("local pseudo-terminal", local, local.SlavePath(), packets);
  }
  {
    Ser2netRig rig;
    PosReplies("through ser2net", rig.Line(), rig.Url(), packets);
  }
  {
    Ser2netRig rig(Ser2netRig::Kind::Rfc2217, false);
    PosReplies("ser2net, chardelay off", rig.Line(), rig.Url(), packets);
  }
  std::printf("\nOne port flat out, %zu bytes in, %zu out\n", bytes, bytes / 4);
  {
    PtyPair local;
    FlatOut("local pseudo-terminal", local, local.SlavePath(), bytes);
  }
  {
    Ser2netRig rig;
    FlatOut("rfc2217:// via ser2net", rig.Line(), rig.Url(), bytes);
  }
  {
    Ser2netRig rig(Ser2netRig::Kind::Raw);
    FlatOut("tcp:// via ser2net", rig.Line(), rig.Url(), bytes);
  }
  return 0;
}
