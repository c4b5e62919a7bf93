#include <windows.h>

#include "platform/time/ticks.h"

namespace platform {

// Both names are the system's own; the wrapping 32-bit count is exactly what it gives.
uint32_t GetTickCount() {
  return ::GetTickCount();
}

void RealSleep(uint32_t ms) {
  ::Sleep(ms);
}

}  // namespace platform
