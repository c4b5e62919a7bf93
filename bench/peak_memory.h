#pragma once
// The most memory the process has held so far, for benchmarks' figures.

#include <cstdint>

uint64_t PeakMemoryBytes();
