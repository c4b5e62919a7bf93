// End-to-end receive figures of one port: a TRealCom on a pseudo-terminal, bytes written on
// the master side, counted by OnReceive in the main thread.
//   throughput: 4 MB written as fast as the master takes them; bytes/s and bytes lost.
//   latency:    2000 single bytes at idle, each timed from its write to its OnReceive.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/devices/com_devices.h"
#include "pty_pair.h"
#include "serial/CommObjects.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

uint8_t Pattern(size_t i) {
  return static_cast<uint8_t>(i % 251);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  PtyPair pty;
  platform::ComDevices devices;
  devices.Set(1, pty.SlavePath());
  platform::MainThreadCalls calls;
  TRealCom com(calls, true, nullptr, 1, "115200,n,8,1", devices);
  if (!com.PortHandle().IsOpen()) {
    std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
    return 1;
  }

  size_t received = 0;
  size_t wrong = 0;
  size_t target = 0;
  QEventLoop* loop = nullptr;
  com.OnReceive = [&](TPeripheral*, uint8_t value) {
    if (value != Pattern(received)) ++wrong;
    ++received;
    if (received >= target && loop != nullptr) loop->quit();
  };
  com.Resume();

  // Throughput.
  constexpr size_t kTotal = 4u << 20;
  std::vector<uint8_t> data(kTotal);
  for (size_t i = 0; i < kTotal; ++i) data[i] = Pattern(i);
  target = kTotal;
  const Clock::time_point start = Clock::now();
  std::thread writer([&] { pty.Write(data); });
  {
    QEventLoop wait;
    loop = &wait;
    QTimer watchdog;
    size_t seen = 0;
    int idleTicks = 0;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
      idleTicks = received == seen ? idleTicks + 1 : 0;
      seen = received;
      if (idleTicks >= 6) wait.quit();  // nothing for 3 s: the rest is lost
    });
    watchdog.start(500);
    if (received < target) wait.exec();
    loop = nullptr;
  }
  const double elapsed = Seconds(Clock::now() - start);
  writer.join();
  std::printf("throughput: %zu bytes in %.3f s = %.0f B/s; lost %zu, wrong %zu\n", received,
              elapsed, static_cast<double>(received) / elapsed, kTotal - received, wrong);

  // Latency at idle.
  constexpr int kSamples = 2000;
  std::vector<double> ms;
  ms.reserve(kSamples);
  size_t lost = 0;
  for (int i = 0; i < kSamples; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // let the port go idle
    target = received + 1;
    QEventLoop wait;
    loop = &wait;
    QTimer::singleShot(2000, &wait, &QEventLoop::quit);
    const Clock::time_point t0 = Clock::now();
    pty.Write(std::vector<uint8_t>{Pattern(received)});
    if (received < target) wait.exec();
    loop = nullptr;
    if (received < target) {
      ++lost;
      continue;
    }
    ms.push_back(Seconds(Clock::now() - t0) * 1000.0);
  }
  std::sort(ms.begin(), ms.end());
  auto pct = [&](double p) {
    return ms.empty() ? 0.0 : ms[std::min(ms.size() - 1, static_cast<size_t>(p * ms.size()))];
  };
  std::printf("latency: %zu samples, p50 %.3f ms, p99 %.3f ms, max %.3f ms; lost %zu, wrong %zu\n",
              ms.size(), pct(0.50), pct(0.99), ms.empty() ? 0.0 : ms.back(), lost, wrong);
  return 0;
}
