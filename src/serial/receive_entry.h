#pragma once
// The receive entry written into a log pane for one received byte:
// "<" milliseconds ">" character "(" code left-aligned in 3 ")", in CP1254.
// Bytes below 32 show as "·" (183), the rest as their own character.

#include <cstdint>
#include <string>

std::string ReceiveEntry(uint32_t millisecondsSinceStart, uint8_t value);
