// End-to-end receiving of the real window on pseudo-terminals.
//
// The window is made and shown as the program makes it, with Com1..Com4 mapped to ptys by
// WireLab.ini; run it under a real X server (bench/window_bench.sh starts Xvfb) so that it
// is painted as for a user. Writer threads feed the ports; each byte's delivery is checked
// against the pattern written, and at the end the pane's last line must hold the entries of
// the last bytes in order. Figures:
//   - display lag: from the write of a chunk on the master to the start of the first paint of
//     the pane after the chunk's last entry went into the pane's text;
//   - backlog: bytes written on a pty and not yet delivered, just before each write;
//   - answer: how long an event posted to the main thread every 50 ms waits (input from the
//     X server reaches the window the same way);
//   - CPU: user+system time of the process less that of the bench's own writer and probe
//     threads, overall and per 10 s;
//   - with recordings (--capture as the program takes it): whether each file holds every
//     byte delivered, in order, and how far a file on the disk fell behind its pane, in
//     bytes of the pane's text, at the ends of 10 s.
// Prints figures; asserts nothing.
//
//   window_bench four-fast [seconds=60]   4 ports x 92,160 bytes/s in chunks every 10 ms
//   window_bench four-slow [seconds=60]   4 ports x 11,520 bytes/s
//   window_bench flat-out  [seconds=30]   1 port, written as fast as the pty takes it
//   window_bench capture   [seconds=60]   four-fast without, then with, four recordings;
//                                         then flat-out (half as long) with a recording

#include <time.h>

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "bench_stats.h"
#include "peak_memory.h"
#include "platform/time/qt_clock.h"
#include "pty_pair.h"
#include "test_support.h"
#include "window/wirelabmain.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kChunkPeriod = std::chrono::milliseconds(10);
constexpr auto kProbePeriod = std::chrono::milliseconds(50);
constexpr auto kDrainLimit = std::chrono::seconds(20);
constexpr int kWindowSeconds = 10;

uint8_t Pattern(uint64_t offset) {
  return static_cast<uint8_t>(offset % 251);
}

// User and system time, from the C library on both systems (MinGW's from the thread library).
double CpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

double ProcessCpuSeconds() {
  return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

double ThreadCpuSeconds() {
  return CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

// CPU time of the bench's own threads, kept up to date by each of them.
struct OwnCpu {
  std::mutex mutex;
  std::vector<double> perThread;
  size_t Add() {
    std::lock_guard<std::mutex> lock(mutex);
    perThread.push_back(0);
    return perThread.size() - 1;
  }
  void Set(size_t slot, double seconds) {
    std::lock_guard<std::mutex> lock(mutex);
    perThread[slot] = seconds;
  }
  double Total() {
    std::lock_guard<std::mutex> lock(mutex);
    double sum = 0;
    for (double s : perThread) sum += s;
    return sum;
  }
};

// The pane's own count of characters, from whichever pane this is built against.
template <class Pane>
long PaneCharacters(Pane* pane) {
  if constexpr (requires { pane->document(); }) {
    return pane->document()->characterCount();
  } else {
    return pane->CharacterCount();
  }
}

// Whether the pane is a text document that receives its entries in batches, or a pane whose
// text holds each entry once ExtendLastLine returns.
template <class Pane>
constexpr bool kPaneIsDocument = requires(Pane* pane) {
  pane->document();
};

// One fed port: the writer's record of its chunks, and what the main thread delivered, put
// into the pane and painted.
struct Feed {
  struct Chunk {
    uint64_t end;  // offset just past the chunk's last byte
    Clock::time_point written;
  };
  std::mutex mutex;
  std::deque<Chunk> chunks;  // recorded before the write, so a delivery never precedes it
  std::atomic<uint64_t> sent{0};
  std::atomic<uint64_t> delivered{0};
  uint64_t maxBacklog = 0;  // writer thread only
  uint64_t lateWrites = 0;  // writes right after another, when the writer fell behind
  // Main thread only:
  uint64_t inPane = 0;
  uint64_t wrong = 0;  // bytes that differ from the pattern (lost, doubled or reordered)
  std::vector<double> lagMs;

  void Delivered(uint8_t value) {
    const uint64_t n = delivered.load(std::memory_order_relaxed);
    if (value != Pattern(n)) ++wrong;
    delivered.store(n + 1, std::memory_order_relaxed);
  }
  void Painted() {
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    while (!chunks.empty() && chunks.front().end <= inPane) {
      lagMs.push_back(Ms(now - chunks.front().written));
      chunks.pop_front();
    }
  }
  // onTime: the write before was at least half a period ago. A writer that was kept from
  // running catches up with writes back to back, which no serial line does; the backlog
  // before those says nothing about the window.
  void Record(uint64_t end, bool onTime = true) {
    const uint64_t backlog = sent - delivered.load(std::memory_order_relaxed);
    if (onTime) {
      maxBacklog = std::max(maxBacklog, backlog);
    } else {
      ++lateWrites;
    }
    std::lock_guard<std::mutex> lock(mutex);
    chunks.push_back({end, Clock::now()});
  }
};

// A text document holds the entries delivered so far once it reports a change.
template <class Pane>
void WatchDocument(Pane* pane, Feed* feed) {
  if constexpr (kPaneIsDocument<Pane>) {
    auto* doc = pane->document();
    QObject::connect(doc, &std::remove_pointer_t<decltype(doc)>::contentsChange, pane,
                     [feed] { feed->inPane = feed->delivered; });
  }
}

// Marks a feed's chunks as displayed when its pane's viewport starts a paint.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(Feed* feed) : feed_(feed) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) feed_->Painted();
    return false;
  }

 private:
  Feed* feed_;
};

void PacedWriter(PtyPair& pty, Feed& feed, int bytesPerSecond, std::chrono::seconds duration,
                 OwnCpu& own, size_t slot) {
  const int perChunk = bytesPerSecond / 100;
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + duration;
  std::vector<uint8_t> chunk(static_cast<size_t>(perChunk));
  uint64_t offset = 0;
  Clock::time_point lastWrite{};
  for (Clock::time_point next = start; next < end; next += kChunkPeriod) {
    std::this_thread::sleep_until(next);
    for (int i = 0; i < perChunk; ++i) chunk[static_cast<size_t>(i)] = Pattern(offset + i);
    const Clock::time_point now = Clock::now();
    feed.Record(offset + perChunk, now - lastWrite >= kChunkPeriod / 2);
    lastWrite = now;
    pty.Write(chunk);
    offset += perChunk;
    feed.sent = offset;
    own.Set(slot, ThreadCpuSeconds());
  }
}

void FlatOutWriter(PtyPair& pty, Feed& feed, std::chrono::seconds duration, OwnCpu& own,
                   size_t slot) {
  const Clock::time_point end = Clock::now() + duration;
  std::vector<uint8_t> chunk(4096);
  uint64_t offset = 0;
  while (Clock::now() < end) {
    if (!pty.AwaitRoom(std::chrono::milliseconds(100))) continue;
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = Pattern(offset + i);
    feed.Record(offset + chunk.size());
    const size_t n = pty.WriteSome(chunk);
    offset += n;
    feed.sent = offset;
    {
      // The record of a write cut short ends where the write did.
      std::lock_guard<std::mutex> lock(feed.mutex);
      if (n == 0) feed.chunks.pop_back();
      if (n > 0) feed.chunks.back().end = offset;
    }
    own.Set(slot, ThreadCpuSeconds());
  }
}

// The bytes shown by the entries of a line: the code inside each "(...)".
std::vector<int> CodesIn(const std::string& line) {
  std::vector<int> codes;
  for (size_t at = line.find('('); at != std::string::npos; at = line.find('(', at + 1)) {
    if (at + 4 < line.size() && line[at + 4] == ')' && line[at - 2] == '>') {
      codes.push_back(std::atoi(line.substr(at + 1, 3).c_str()));
    }
  }
  return codes;
}

// Whether a recording holds exactly the bytes 0..delivered-1 of the pattern, in order. Read
// a piece at a time: a file can be far larger than the pane.
bool FileHoldsAll(const std::string& path, uint64_t delivered) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> piece(1 << 20);
  std::string text;
  size_t from = 2;  // the first place in text not yet looked at
  uint64_t codes = 0;
  bool inOrder = true;
  for (bool more = true; more;) {
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    more = got > 0;
    text.append(piece.data(), got);
    // An entry "<tick>c(ddd)": a '(' with '>' two before it and ')' four after it.
    for (; from + 4 < text.size(); ++from) {
      if (text[from] == '(' && text[from + 4] == ')' && text[from - 2] == '>') {
        inOrder = inOrder && std::atoi(text.substr(from + 1, 3).c_str()) == Pattern(codes);
        ++codes;
      }
    }
    text.erase(0, from - 2);  // keep what the next places look back at
    from = 2;
  }
  return inOrder && codes == delivered;
}

// Counts the characters a pane is given, as its recording gets them.
struct PaneGiven : LogLines::Listener {
  void Added(std::string_view text, bool newLine) override {
    chars += text.size() + (newLine && any ? 2 : 0);  // CR LF between lines, as in the file
    any = true;
  }
  void Dropping(const std::string&) override {}
  uint64_t chars = 0;
  bool any = false;
};

struct Result {
  uint64_t sent = 0, delivered = 0, wrong = 0, maxBacklog = 0, lateWrites = 0;
  bool lastLineInOrder = true;
  int files = 0, filesComplete = 0;
  std::vector<double> fileBehindKiB;  // at the end of each 10 s, the port furthest behind
  std::vector<double> lagMs, probeMs, windowCpu;
  double worstProbeAtS = 0;  // when the longest wait began, seconds into the run
  double seconds = 0, cpu = 0, writeSeconds = 0;
  long paneChars = 0;
  uint64_t peakMemory = 0;
};

Result Run(const std::vector<int>& ports, int bytesPerSecond, std::chrono::seconds duration,
           bool record = false) {
  TempAppDir dir;
  std::vector<std::unique_ptr<PtyPair>> pty(5);
  std::string ini = "[Ports]\n";
  for (int n = 1; n <= 4; ++n) {
    pty[n] = std::make_unique<PtyPair>();
    ini += "Com" + std::to_string(n) + "=" + pty[n]->SlavePath() + "\n";
  }
  dir.WriteFile("WireLab.ini", ini);

  platform::QtClock clock;
  platform::MessageBoxes boxes;
  auto form = std::make_unique<TForm5>(clock, boxes, platform::FilesBeside(dir.Path()));
  form->show();
  if (record) form->Recordings.CaptureOnOpen(dir.Path());
  std::vector<std::unique_ptr<Feed>> feeds(5);
  std::vector<std::unique_ptr<PaintWatch>> watches;
  std::vector<PaneGiven> given(5);
  for (int n : ports) {
    form->Memo[n]->AddListener(&given[n]);
    form->CheckBox[n]->click();
    feeds[n] = std::make_unique<Feed>();
    Feed* feed = feeds[n].get();
    auto* pane = form->Memo[n];
    TReceiveEvent original = form->View().Ports[n]->OnReceive;
    form->View().Ports[n]->OnReceive = [feed, original](TPeripheral* sender, uint8_t value) {
      original(sender, value);
      feed->Delivered(value);
      if constexpr (!kPaneIsDocument<LogPane>) feed->inPane = feed->delivered;
    };
    WatchDocument(pane, feed);
    watches.push_back(std::make_unique<PaintWatch>(feed));
    pane->viewport()->installEventFilter(watches.back().get());
  }

  Result result;
  OwnCpu own;
  QObject probeTarget;
  std::atomic<bool> stop{false};
  const Clock::time_point start = Clock::now();
  std::thread probe([&, slot = own.Add()] {
    while (!stop) {
      std::this_thread::sleep_for(kProbePeriod);
      const Clock::time_point posted = Clock::now();
      QMetaObject::invokeMethod(
          &probeTarget,
          [&result, posted, start] {
            const double waited = Ms(Clock::now() - posted);
            if (waited > Max(result.probeMs)) {
              result.worstProbeAtS = std::chrono::duration<double>(posted - start).count();
            }
            result.probeMs.push_back(waited);
          },
          Qt::QueuedConnection);
      own.Set(slot, ThreadCpuSeconds());
    }
  });

  const double cpuStart = ProcessCpuSeconds();
  std::vector<std::thread> writers;
  std::atomic<int> writing{static_cast<int>(ports.size())};
  for (int n : ports) {
    writers.emplace_back([&, n, slot = own.Add()] {
      if (bytesPerSecond > 0) {
        PacedWriter(*pty[n], *feeds[n], bytesPerSecond, duration, own, slot);
      } else {
        FlatOutWriter(*pty[n], *feeds[n], duration, own, slot);
      }
      --writing;
    });
  }
  auto programCpu = [&] { return ProcessCpuSeconds() - cpuStart - own.Total(); };

  // Run the event loop as the program does until every byte came or the drain limit passed.
  QEventLoop loop;
  QTimer check, window;
  Clock::time_point writersDone{};
  bool joined = false;
  double windowStartCpu = 0;
  QObject::connect(&window, &QTimer::timeout, [&] {
    const double now = programCpu();
    result.windowCpu.push_back(100.0 * (now - windowStartCpu) / kWindowSeconds);
    windowStartCpu = now;
    if (!record) return;
    double behind = 0;
    for (int n : ports) {
      std::error_code error;
      const auto onDisk = std::filesystem::file_size(form->Recordings.CapturePath(n), error);
      behind = std::max(behind, (given[n].chars - (error ? 0 : onDisk)) / 1024.0);
    }
    result.fileBehindKiB.push_back(behind);
  });
  window.start(kWindowSeconds * 1000);
  QObject::connect(&check, &QTimer::timeout, [&] {
    // A writer may wait for room in its pty, which only the main thread makes: join once
    // they all are done.
    if (!joined && writing == 0) {
      for (std::thread& w : writers) w.join();
      joined = true;
      writersDone = Clock::now();
      result.writeSeconds = std::chrono::duration<double>(writersDone - start).count();
      window.stop();
    }
    if (!joined) return;
    bool done = true;
    for (int n : ports) {
      done = done && feeds[n]->delivered >= feeds[n]->sent && feeds[n]->chunks.empty();
    }
    if (done || Clock::now() > writersDone + kDrainLimit) loop.quit();
  });
  check.start(20);
  loop.exec();
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.cpu = programCpu();

  stop = true;
  probe.join();
  QCoreApplication::processEvents();  // the last probe
  std::vector<std::string> files(5);
  result.peakMemory = PeakMemoryBytes();  // before the files are read back
  for (int n : ports) {
    form->Memo[n]->RemoveListener(&given[n]);
    if (!record) continue;
    files[n] = form->Recordings.CapturePath(n);
    if (!form->Recordings.Capturing(n)) std::printf("  com%d's recording stopped early\n", n);
    form->Recordings.EndCapture(n);
  }
  for (int n : ports) {
    Feed& feed = *feeds[n];
    result.sent += feed.sent;
    result.delivered += feed.delivered;
    result.wrong += feed.wrong;
    result.maxBacklog = std::max(result.maxBacklog, feed.maxBacklog);
    result.lateWrites += feed.lateWrites;
    result.lagMs.insert(result.lagMs.end(), feed.lagMs.begin(), feed.lagMs.end());
    result.paneChars += PaneCharacters(form->Memo[n]);
    const std::vector<int> codes = CodesIn(form->Memo[n]->LastLine());
    for (size_t i = 0; i < codes.size(); ++i) {
      const uint64_t offset = feed.delivered - codes.size() + i;
      if (codes[i] != Pattern(offset)) result.lastLineInOrder = false;
    }
    if (codes.empty()) result.lastLineInOrder = false;
    if (!record) continue;
    ++result.files;
    if (FileHoldsAll(files[n], feed.delivered)) ++result.filesComplete;
  }
  return result;
}

void Print(const std::string& title, const Result& r) {
  std::printf("%s\n", title.c_str());
  std::printf(
      "  bytes sent %llu, delivered %llu, lost %lld, out of pattern %llu; pane's last "
      "line %s\n",
      static_cast<unsigned long long>(r.sent), static_cast<unsigned long long>(r.delivered),
      static_cast<long long>(r.sent) - static_cast<long long>(r.delivered),
      static_cast<unsigned long long>(r.wrong), r.lastLineInOrder ? "in order" : "NOT in order");
  std::printf("  received and shown %.2f MB/s over %.1f s of writing\n",
              r.delivered / r.writeSeconds / 1e6, r.writeSeconds);
  std::printf("  largest backlog on a pty %.1f KiB (%llu late writes of the writers not counted)\n",
              r.maxBacklog / 1024.0, static_cast<unsigned long long>(r.lateWrites));
  std::printf("  display lag: p50 %.1f ms, p99 %.1f ms, max %.1f ms (%zu chunks)\n",
              Percentile(r.lagMs, 0.5), Percentile(r.lagMs, 0.99), Max(r.lagMs), r.lagMs.size());
  std::printf("  answer: p50 %.1f ms, p99 %.1f ms, max %.1f ms at %.1f s (%zu probes)\n",
              Percentile(r.probeMs, 0.5), Percentile(r.probeMs, 0.99), Max(r.probeMs),
              r.worstProbeAtS, r.probeMs.size());
  std::printf("  CPU of the program %.1f s in %.1f s: %.1f%% of one core; per %d s:", r.cpu,
              r.seconds, 100.0 * r.cpu / r.seconds, kWindowSeconds);
  for (double w : r.windowCpu) std::printf(" %.1f%%", w);
  std::printf("\n  characters in the panes at the end %ld; peak memory %.1f MB\n", r.paneChars,
              r.peakMemory / 1048576.0);
  if (r.files == 0) return;
  std::printf(
      "  recordings holding every byte delivered, in order: %d of %d; file behind its "
      "pane per %d s (KiB):",
      r.filesComplete, r.files, kWindowSeconds);
  for (double kib : r.fileBehindKiB) std::printf(" %.0f", kib);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string scenario = argc > 1 ? argv[1] : "";
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 0;
  auto secondsOr = [&](int fallback) { return std::chrono::seconds(seconds ? seconds : fallback); };
  std::printf("window_bench %s on %s\n", scenario.c_str(), qPrintable(app.platformName()));
  if (scenario == "four-fast") {
    Print("4 ports x 92,160 bytes/s", Run({1, 2, 3, 4}, 92160, secondsOr(60)));
  } else if (scenario == "four-slow") {
    Print("4 ports x 11,520 bytes/s", Run({1, 2, 3, 4}, 11520, secondsOr(60)));
  } else if (scenario == "flat-out") {
    Print("1 port as fast as the pty takes it", Run({1}, 0, secondsOr(30)));
  } else if (scenario == "capture") {
    const Result plain = Run({1, 2, 3, 4}, 92160, secondsOr(60));
    Print("4 ports x 92,160 bytes/s", plain);
    const Result recorded = Run({1, 2, 3, 4}, 92160, secondsOr(60), true);
    Print("4 ports x 92,160 bytes/s, each recorded", recorded);
    std::printf("  CPU with recordings less without: %+.1f points of one core\n",
                100.0 * (recorded.cpu / recorded.seconds - plain.cpu / plain.seconds));
    Print("1 port as fast as the pty takes it, recorded",
          Run({1}, 0, std::chrono::seconds(seconds ? std::max(1, seconds / 2) : 30), true));
  } else {
    std::fprintf(stderr, "usage: window_bench four-fast|four-slow|flat-out|capture [seconds]\n");
    return 2;
  }
  return 0;
}
