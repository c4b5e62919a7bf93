#include "serial_test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

#include "platform/ticks.h"

SlaveView::SlaveView(const std::string& path)
    : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
  if (fd_ < 0) throw std::runtime_error("cannot open " + path);
}

SlaveView::~SlaveView() {
  close(fd_);
}

bool WaitWithoutEvents(const std::function<bool()>& pred, std::chrono::milliseconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return pred();
    platform::RealSleep(1);
  }
  return true;
}
