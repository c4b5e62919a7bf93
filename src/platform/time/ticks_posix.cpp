#include <cerrno>
#include <ctime>

#include "platform/time/ticks.h"

namespace platform {

uint32_t GetTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms =
      static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void RealSleep(uint32_t ms) {
  timespec req{};
  req.tv_sec = static_cast<time_t>(ms / 1000u);
  req.tv_nsec = static_cast<long>(ms % 1000u) * 1000000L;
  timespec rem{};
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) {
    req = rem;
  }
}

}  // namespace platform
