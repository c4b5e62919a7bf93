#pragma once
// The system's millisecond tick counter and a real sleep, for the port threads and for
// whatever runs without a Clock.
//
// GetTickCount is the system's 32-bit count of milliseconds since start, which wraps at
// 2^32; elapsed times are differences taken modulo 2^32. Any thread may call either.

#include <cstdint>

namespace platform {

uint32_t GetTickCount();

// Blocks the calling thread; a signal does not cut it short.
void RealSleep(uint32_t ms);

// Something that tells the tick count; Now may be called from any thread.
class TickSource {
 public:
  virtual ~TickSource() = default;
  virtual uint32_t Now() const = 0;
};

// GetTickCount as a TickSource.
const TickSource& MonotonicTicks();

}  // namespace platform
