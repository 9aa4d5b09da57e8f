// The per-column value ranges MIN and MAX of the current data file, and the
// scaling between data units and 0..1 that they define.
#pragma once

#include <vector>

namespace fuzzyart {

struct Ranges {
  std::vector<float> min;  // "MIN": one entry per column, later per variable
  std::vector<float> max;  // "MAX"
  bool held() const { return !min.empty() || !max.empty(); }
  void release() {
    min.clear();
    min.shrink_to_fit();
    max.clear();
    max.shrink_to_fit();
  }
};

// (x - MIN[i]) / (MAX[i] - MIN[i]) in double precision from single-precision
// operands; callers store the result in single precision.
inline double scaleValue(const Ranges& ranges, float x, int i) {
  return (double{x} - double{ranges.min[i]}) / (double{ranges.max[i]} - double{ranges.min[i]});
}

// MIN[i] + (MAX[i] - MIN[i]) * w, the inverse, with the same precision; the
// result files print this double as it is.
inline double unscaleValue(const Ranges& ranges, float w, int i) {
  return double{ranges.min[i]} + (double{ranges.max[i]} - double{ranges.min[i]}) * double{w};
}

}  // namespace fuzzyart
