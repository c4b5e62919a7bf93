#include "platform/time/clock.h"

#include <algorithm>

namespace platform {

void Clock::SleepUnless(uint32_t ms, const std::function<bool()>& stop) {
  constexpr uint32_t kSlice = 50;
  while (ms > 0 && !stop()) {
    const uint32_t slice = std::min(ms, kSlice);
    Sleep(slice);
    ms -= slice;
  }
}

}  // namespace platform
