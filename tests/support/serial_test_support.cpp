#include "serial_test_support.h"

#include "platform/time/ticks.h"

bool WaitWithoutEvents(const std::function<bool()>& pred, std::chrono::milliseconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return pred();
    platform::RealSleep(1);
  }
  return true;
}
