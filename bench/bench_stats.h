#pragma once
// The figures the benchmarks print: milliseconds, percentiles and maxima of samples.

#include <algorithm>
#include <chrono>
#include <vector>

inline double Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The sample at fraction p (0 to 1) of the sorted values, rounded to the nearest; 0 for none.
inline double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t at = std::min(values.size() - 1,
                             static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5));
  return values[at];
}

inline double Max(const std::vector<double>& values) {
  return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}
