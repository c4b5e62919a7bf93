#pragma once
// The receive entry written into a log pane for one received byte:
// "<" milliseconds ">" character "(" code left-aligned in 3 ")", in CP1254.
// Bytes below 32 show as "·" (183), the rest as their own character. In hex the code is "x"
// and two capital hex digits, the same three places: "<1234>A(x41)".

#include <cstdint>
#include <string>

std::string ReceiveEntry(uint32_t millisecondsSinceStart, uint8_t value, bool hex = false);
