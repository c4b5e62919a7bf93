// End-to-end receiving of the real window on pseudo-terminals.
//
// The window is made as the program makes it (offscreen, shown) with Com1..Com4 mapped to
// ptys by WireLab.ini. Paced writer threads feed the ports in chunks every 10 ms; a counting
// wrapper around each port's OnReceive checks every byte against the pattern written and
// measures, for each chunk, the time from its write to the delivery of its last byte in the
// main thread. A probe thread posts an event to the main thread every 50 ms and measures how
// long it waits. Prints figures; asserts nothing.
//
//   window_bench [seconds for one fast port] [seconds for four ports] [overload bytes/s]
//
// Defaults 30 and 60 s. With a third argument it also feeds two ports at that rate each for
// 10 s, to see how the window fares when bytes come faster than it shows them.

#include <sys/resource.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pty_pair.h"
#include "test_support.h"
#include "window/wirelabmain.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kChunkPeriod = std::chrono::milliseconds(10);
constexpr auto kProbePeriod = std::chrono::milliseconds(50);
constexpr auto kDrainLimit = std::chrono::seconds(20);

uint8_t Pattern(uint64_t offset) {
  return static_cast<uint8_t>(offset % 251);
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5));
  return values[at];
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto sec = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return sec(usage.ru_utime) + sec(usage.ru_stime);
}

// One fed port: the writer's record of its chunks and the main thread's count of deliveries.
struct Feed {
  struct Chunk {
    uint64_t end;  // offset just past the chunk's last byte
    Clock::time_point written;
  };
  std::mutex mutex;
  std::deque<Chunk> chunks;  // recorded before the write, so a delivery never precedes it
  std::atomic<uint64_t> sent{0};
  // Main thread only:
  uint64_t delivered = 0;
  uint64_t wrong = 0;  // bytes that differ from the pattern (lost, doubled or reordered)
  uint64_t nextCheck = 1;
  std::vector<double> lagMs;

  void Delivered(uint8_t value) {
    if (value != Pattern(delivered)) ++wrong;
    ++delivered;
    if (delivered < nextCheck) return;
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    while (!chunks.empty() && chunks.front().end <= delivered) {
      lagMs.push_back(Ms(now - chunks.front().written));
      chunks.pop_front();
    }
    nextCheck = chunks.empty() ? delivered + 1 : chunks.front().end;
  }
};

void Writer(PtyPair& pty, Feed& feed, int bytesPerSecond, std::chrono::seconds duration) {
  const int perChunk = bytesPerSecond / 100;
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + duration;
  std::vector<uint8_t> chunk(static_cast<size_t>(perChunk));
  uint64_t offset = 0;
  for (Clock::time_point next = start; next < end; next += kChunkPeriod) {
    std::this_thread::sleep_until(next);
    for (int i = 0; i < perChunk; ++i) chunk[static_cast<size_t>(i)] = Pattern(offset + i);
    {
      std::lock_guard<std::mutex> lock(feed.mutex);
      feed.chunks.push_back({offset + perChunk, Clock::now()});
    }
    pty.Write(chunk);
    offset += perChunk;
    feed.sent = offset;
  }
}

struct Result {
  uint64_t sent = 0, delivered = 0, wrong = 0;
  std::vector<double> lagMs;
  std::vector<double> probeMs;
  double worstProbeAtS = 0;  // when the longest wait began, seconds into the run
  double seconds = 0, cpu = 0, drainMs = 0, closeMs = 0;
  size_t paneChars = 0;
};

Result Run(const std::vector<int>& ports, int bytesPerSecond, std::chrono::seconds duration) {
  TempAppDir dir;
  std::vector<std::unique_ptr<PtyPair>> pty(5);
  std::string ini = "[Ports]\n";
  for (int n = 1; n <= 4; ++n) {
    pty[n] = std::make_unique<PtyPair>();
    ini += "Com" + std::to_string(n) + "=" + pty[n]->SlavePath() + "\n";
  }
  dir.WriteFile("WireLab.ini", ini);

  auto form = std::make_unique<TForm5>();
  form->show();
  std::vector<std::unique_ptr<Feed>> feeds(5);
  for (int n : ports) {
    form->CheckBox[n]->click();
    feeds[n] = std::make_unique<Feed>();
    Feed* feed = feeds[n].get();
    TReceiveEvent original = form->Ports[n]->OnReceive;
    form->Ports[n]->OnReceive = [feed, original](TPeripheral* sender, uint8_t value) {
      feed->Delivered(value);
      original(sender, value);
    };
  }

  Result result;
  QObject probeTarget;
  const Clock::time_point start = Clock::now();
  std::atomic<bool> stop{false};
  std::thread probe([&] {
    while (!stop) {
      std::this_thread::sleep_for(kProbePeriod);
      const Clock::time_point posted = Clock::now();
      QMetaObject::invokeMethod(
          &probeTarget,
          [&result, posted, start] {
            const double waited = Ms(Clock::now() - posted);
            if (result.probeMs.empty() ||
                waited > *std::max_element(result.probeMs.begin(), result.probeMs.end())) {
              result.worstProbeAtS = std::chrono::duration<double>(posted - start).count();
            }
            result.probeMs.push_back(waited);
          },
          Qt::QueuedConnection);
    }
  });

  const double cpuStart = CpuSeconds();
  std::vector<std::thread> writers;
  std::atomic<int> writing{static_cast<int>(ports.size())};
  for (int n : ports) {
    writers.emplace_back([&, n] {
      Writer(*pty[n], *feeds[n], bytesPerSecond, duration);
      --writing;
    });
  }
  // Run the event loop as the program does until every byte came or the drain limit passed.
  QEventLoop loop;
  QTimer check;
  Clock::time_point writersDone{};
  bool joined = false;
  QObject::connect(&check, &QTimer::timeout, [&] {
    // A writer may wait for room in its pty, which only the main thread makes: join once
    // they all are done.
    if (!joined && writing == 0) {
      for (std::thread& w : writers) w.join();
      joined = true;
      writersDone = Clock::now();
    }
    if (!joined) return;
    bool done = true;
    for (int n : ports) done = done && feeds[n]->delivered >= feeds[n]->sent;
    if (done || Clock::now() > writersDone + kDrainLimit) loop.quit();
  });
  check.start(20);
  loop.exec();
  const Clock::time_point end = Clock::now();
  result.seconds = std::chrono::duration<double>(end - start).count();
  result.cpu = CpuSeconds() - cpuStart;
  result.drainMs = Ms(end - writersDone);

  stop = true;
  probe.join();
  QCoreApplication::processEvents();  // the last probe
  for (int n : ports) {
    result.sent += feeds[n]->sent;
    result.delivered += feeds[n]->delivered;
    result.wrong += feeds[n]->wrong;
    result.lagMs.insert(result.lagMs.end(), feeds[n]->lagMs.begin(), feeds[n]->lagMs.end());
    result.paneChars += static_cast<size_t>(form->Memo[n]->document()->characterCount());
  }
  const Clock::time_point closing = Clock::now();
  form.reset();
  result.closeMs = Ms(Clock::now() - closing);
  return result;
}

void Print(const char* title, const Result& r) {
  std::printf("\n%s\n", title);
  std::printf("  bytes sent %llu, delivered %llu, lost %lld, out of pattern %llu\n",
              static_cast<unsigned long long>(r.sent), static_cast<unsigned long long>(r.delivered),
              static_cast<long long>(r.sent) - static_cast<long long>(r.delivered),
              static_cast<unsigned long long>(r.wrong));
  std::printf(
      "  delivery lag per 10 ms chunk: p50 %.1f ms, p99 %.1f ms, max %.1f ms (%zu chunks)\n",
      Percentile(r.lagMs, 0.5), Percentile(r.lagMs, 0.99),
      r.lagMs.empty() ? 0.0 : *std::max_element(r.lagMs.begin(), r.lagMs.end()), r.lagMs.size());
  std::printf("  event loop answer: p50 %.1f ms, p99 %.1f ms, max %.1f ms at %.1f s (%zu probes)\n",
              Percentile(r.probeMs, 0.5), Percentile(r.probeMs, 0.99),
              r.probeMs.empty() ? 0.0 : *std::max_element(r.probeMs.begin(), r.probeMs.end()),
              r.worstProbeAtS, r.probeMs.size());
  std::printf(
      "  run %.1f s (drain after the last write %.0f ms), CPU %.1f s (%.0f%% of one core)\n",
      r.seconds, r.drainMs, r.cpu, 100.0 * r.cpu / r.seconds);
  std::printf("  characters in the panes at the end %zu; closing the window took %.0f ms\n",
              r.paneChars, r.closeMs);
  std::printf("  peak RSS so far %.1f MB\n", PeakRssKb() / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const int fastSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  const int fourSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;

  std::printf("window_bench: peak RSS at start %.1f MB\n", PeakRssKb() / 1024.0);
  const Result fast = Run({1}, 92160, std::chrono::seconds(fastSeconds));
  Print(("(a) one port at 92,160 bytes/s for " + std::to_string(fastSeconds) + " s").c_str(), fast);
  const Result four = Run({1, 2, 3, 4}, 11520, std::chrono::seconds(fourSeconds));
  Print(("(b) four ports at 11,520 bytes/s each for " + std::to_string(fourSeconds) + " s").c_str(),
        four);
  if (argc > 3) {
    const int rate = std::atoi(argv[3]);
    const Result two = Run({1, 2}, rate, std::chrono::seconds(10));
    Print(("(c) two ports at " + std::to_string(rate) + " bytes/s each for 10 s").c_str(), two);
  }
  std::printf("\npeak RSS %.1f MB\n", PeakRssKb() / 1024.0);
  return 0;
}
