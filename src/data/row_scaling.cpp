#include "data/row_scaling.h"

#include <cmath>

#include "base/failure.h"

namespace fuzzyart {

double scaleValue(float x, float min, float max) { return scaled(x, min, max); }
double unscaleValue(float w, float min, float max) { return unscaled(w, min, max); }

void failBadRow(const std::string& name, int64_t rowNumber) {
  fail(ErrorKind::kBadData, "Bad datafile: %s  Datarow:%lld\n", name.c_str(), static_cast<long long>(rowNumber));
}

void requireFinite(const float* row, int columns, const std::string& name, int64_t rowNumber) {
  for (int i = 0; i < columns; ++i) {
    if (!std::isfinite(row[i])) failBadRow(name, rowNumber);
  }
}

void divideBySum(float* row, int columns, const std::string& name, int64_t rowNumber) {
  double sum = 0.0;
  for (int i = 0; i < columns; ++i) sum += row[i];
  const float rowSum = static_cast<float>(sum);
  if (rowSum == 0.0f) {
    fail(ErrorKind::kBadData, "Row sum is 0 in datafile: %s  Datarow:%lld\n", name.c_str(),
         static_cast<long long>(rowNumber));
  }
  for (int i = 0; i < columns; ++i) {
    row[i] = row[i] / rowSum;
    if (std::isinf(row[i])) failBadRow(name, rowNumber);
  }
}

void scaleRecord(const Scaling& scaling, const float* raw, float* out, bool clip, const std::string& name,
                 int64_t rowNumber) {
  const int n = scaling.variableCount();
  // The complements are made from the values in registers: read back from
  // out, a vector load over several single stores just made waits for
  // them to reach the cache, which cost more than the scaling itself.
  float* const complements = scaling.complementCoding ? out + n : nullptr;
  for (int k = 0; k < n; ++k) {
    const float x = raw[scaling.columns[static_cast<size_t>(k)]];
    const float min = scaling.min[static_cast<size_t>(k)];
    const float max = scaling.max[static_cast<size_t>(k)];
    float value = static_cast<float>(scaled(x, min, max));
    if (x < min || x > max) {
      if (!clip) failBadRow(name, rowNumber);
      value = x < min ? 0.0f : 1.0f;
    }
    out[k] = value;
    if (complements != nullptr) complements[k] = 1.0f - value;
  }
}

}  // namespace fuzzyart
