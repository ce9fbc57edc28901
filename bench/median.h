#pragma once
// The benchmarks report medians: one slow repetition on a busy machine does not move them.

#include <algorithm>
#include <vector>

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}
