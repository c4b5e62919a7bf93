#pragma once
// The window with its ports 1 and 2 on pseudo-terminals, for tests of what the send modes put
// on the line.
//
// Each line keeps a reader thread on the master side, so a long run never fills the pty, and a
// descriptor of its own on the slave side. Through that descriptor the test writes marks into
// the very stream the window writes to: writes of the main thread reach the master in the
// order they were made, so a mark tells exactly what was sent before it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt_clock.h"
#include "pty_pair.h"
#include "test_support.h"
#include "window/wirelabmain.h"

// Marks the test writes into the stream. No test sends the end mark; the tick mark is for tests
// that send frames and DLE ENQ only.
constexpr uint8_t kEndMark = 0xFE;
constexpr uint8_t kTickMark = 0xFF;

class PtyLine {
 public:
  PtyLine() : markFd_(open(pty_.SlavePath().c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC)) {
    reader_ = std::thread([this] { Drain(); });
  }
  ~PtyLine() {
    stop_ = true;
    reader_.join();
    if (markFd_ >= 0) close(markFd_);
  }
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  const std::string& SlavePath() const { return pty_.SlavePath(); }

  void Mark(uint8_t mark) { ASSERT_EQ(write(markFd_, &mark, 1), 1); }
  // Bytes as the far end sends them, for the window to receive.
  void Reply(const std::string& bytes) {
    ASSERT_EQ(write(pty_.MasterFd(), bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  }
  // Waits until at least n bytes have come since the last Sent(); the count seen.
  size_t WaitForCount(size_t n) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return bytes_.size() >= n; });
    return bytes_.size();
  }
  size_t Count() {
    std::lock_guard lock(mutex_);
    return bytes_.size();
  }

  // Everything sent since the last call.
  std::vector<uint8_t> Sent() {
    Mark(kEndMark);
    std::unique_lock lock(mutex_);
    const bool marked = arrived_.wait_for(lock, std::chrono::seconds(10), [this] {
      for (uint8_t b : bytes_) {
        if (b == kEndMark) return true;
      }
      return false;
    });
    EXPECT_TRUE(marked) << "the end mark did not come back";
    std::vector<uint8_t> out;
    size_t i = 0;
    for (; i < bytes_.size() && bytes_[i] != kEndMark; ++i) out.push_back(bytes_[i]);
    bytes_.erase(bytes_.begin(),
                 bytes_.begin() + static_cast<std::ptrdiff_t>(std::min(i + 1, bytes_.size())));
    return out;
  }

 private:
  void Drain() {
    while (!stop_) {
      pollfd p{pty_.MasterFd(), POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      uint8_t buf[4096];
      const ssize_t n = read(pty_.MasterFd(), buf, sizeof buf);
      if (n <= 0) continue;
      {
        std::lock_guard lock(mutex_);
        bytes_.insert(bytes_.end(), buf, buf + n);
      }
      arrived_.notify_all();
    }
  }

  PtyPair pty_;
  int markFd_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<uint8_t> bytes_;
  std::thread reader_;
};

class SenderWindow {
 public:
  // The window runs on the manual clock, or on the real one when asked.
  explicit SenderWindow(bool manualClock = true) {
    if (manualClock) clock.emplace();
    dir.WriteFile("WireLab.ini",
                  "[Ports]\nCom1=" + com1.SlavePath() + "\nCom2=" + com2.SlavePath() + "\n");
    form = std::make_unique<TForm5>(Clock());
  }
  platform::Clock& Clock() { return clock ? static_cast<platform::Clock&>(*clock) : realClock; }

  // Ticks "Open" of port n as the user does; the port is then the chosen one.
  void Open(int n, const char* settings = "9600,n,8,1") {
    form->Edit[n]->setText(QString::fromUtf8(settings));
    form->CheckBox[n]->click();
  }
  void Choose(int n) {
    form->ComboBox1->setCurrentIndex(form->ComboBox1->findText(QStringLiteral("Com%1").arg(n)));
  }
  uint32_t Now() { return Clock().Now(); }

  std::optional<ManualClock> clock;
  platform::QtClock realClock;
  TempAppDir dir;
  MessageBoxCapture boxes;
  PtyLine com1, com2;
  std::unique_ptr<TForm5> form;
};

using Bytes = std::vector<uint8_t>;
