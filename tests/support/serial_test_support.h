#pragma once
// Helpers for tests of the serial layer: the test's view of a pty's slave side, and a wait
// that leaves the main thread's events unprocessed (so deliveries stay queued).

#include <chrono>
#include <functional>
#include <string>

// The test's own descriptor on a pseudo-terminal's slave side, opened before WireLab takes
// the port exclusively; line settings are the terminal's, so they read back through it.
class SlaveView {
 public:
  explicit SlaveView(const std::string& path);
  ~SlaveView();
  SlaveView(const SlaveView&) = delete;
  SlaveView& operator=(const SlaveView&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// Waits until pred holds or the deadline passes, without processing events; returns pred().
bool WaitWithoutEvents(const std::function<bool()>& pred,
                       std::chrono::milliseconds deadline = std::chrono::milliseconds(20000));
