#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// The value below which the given fraction of the values lies; NaN for no values.
inline double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return NAN;
  const size_t index = std::min(values.size() - 1,
                                static_cast<size_t>(fraction * static_cast<double>(values.size())));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
  return values[index];
}
