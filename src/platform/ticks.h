#pragma once
// The system's millisecond tick counter and sleep.
//
// GetTickCount is a 32-bit count of milliseconds from CLOCK_MONOTONIC that wraps at 2^32;
// elapsed times are differences taken modulo 2^32. Tests switch the counter to manual mode
// and move it by hand; any thread may read it.

#include <cstdint>

namespace platform {

uint32_t GetTickCount();

// Blocks the calling thread. On the main thread in manual mode it advances the manual
// counter instead of sleeping, so tests of long schedules run at once.
void Sleep(uint32_t ms);

// Always a real sleep, whatever the mode (port threads pace their polling with it).
void RealSleep(uint32_t ms);

// Test seam.
void UseManualTicks(uint32_t start);
void UseRealTicks();
bool ManualTicks();
void SetTicks(uint32_t value);
void AdvanceTicks(uint32_t ms);

}  // namespace platform
