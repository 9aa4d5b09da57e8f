#include "data/row_scaling.h"

#include <cmath>

#include "base/failure.h"

namespace fuzzyart {

double scaleValue(float x, float min, float max) { return scaled(x, min, max); }
double unscaleValue(float w, float min, float max) { return unscaled(w, min, max); }

std::string badRowMessage(const std::string& name, int64_t rowNumber) {
  return "Bad datafile: " + name + "  Datarow:" + std::to_string(rowNumber) + "\n";
}

void failBadRow(const std::string& name, int64_t rowNumber) {
  throw Error(ErrorKind::kBadData, badRowMessage(name, rowNumber));
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
  // A sum beyond single precision would make every quotient 0: the row is
  // bad, as a value beyond it is. Dividing by the double sum instead would
  // move the quotients of ordinary rows by a bit.
  if (std::isinf(rowSum)) failBadRow(name, rowNumber);
  if (rowSum == 0.0f) {
    fail(ErrorKind::kBadData, "Row sum is 0 in datafile: %s  Datarow:%lld\n", name.c_str(),
         static_cast<long long>(rowNumber));
  }
  for (int i = 0; i < columns; ++i) {
    row[i] = row[i] / rowSum;
    if (std::isinf(row[i])) failBadRow(name, rowNumber);
  }
}

namespace {

// The scaled values of a row and whether one lies outside its range, in one
// loop without branches, which the compiler turns into vector code (each
// lane the same IEEE operations as one value alone); built for the vector
// extensions this processor may have.
#if defined(__clang__)
#define FUZZYART_VECTOR_CLONES
#else
#define FUZZYART_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif
FUZZYART_VECTOR_CLONES
bool scaleInRange(int n, const int* __restrict columns, const float* __restrict mins, const float* __restrict maxs,
                  const float* __restrict raw, float* __restrict out, float* __restrict complements) {
  int outside = 0;
  for (int k = 0; k < n; ++k) {
    const float x = raw[columns[k]];
    const float value = static_cast<float>(scaled(x, mins[k], maxs[k]));
    outside |= static_cast<int>(x < mins[k]) | static_cast<int>(x > maxs[k]);
    out[k] = value;
    // The complements are made from the values in registers: read back
    // from out, a vector load over several single stores just made waits
    // for them to reach the cache.
    if (complements != nullptr) complements[k] = 1.0f - value;
  }
  return outside == 0;
}

// scaleInRange for rows side by side that use every column, the raw values
// read as they lie: the rows scaled before the first with a value outside
// its range (all of them when none is), whose record may hold anything.
FUZZYART_VECTOR_CLONES
size_t scaleAllInRange(size_t rows, int n, const float* __restrict mins, const float* __restrict maxs,
                       const float* __restrict raw, float* __restrict out, bool complementCoding) {
  const size_t length = complementCoding ? 2 * static_cast<size_t>(n) : static_cast<size_t>(n);
  for (size_t r = 0; r < rows; ++r) {
    const float* __restrict x = raw + r * static_cast<size_t>(n);
    float* __restrict values = out + r * length;
    float* __restrict complements = values + n;
    int outside = 0;
    for (int k = 0; k < n; ++k) {
      const float value = static_cast<float>(scaled(x[k], mins[k], maxs[k]));
      outside |= static_cast<int>(x[k] < mins[k]) | static_cast<int>(x[k] > maxs[k]);
      values[k] = value;
      if (complementCoding) complements[k] = 1.0f - value;
    }
    if (outside != 0) return r;
  }
  return rows;
}

}  // namespace

size_t scaleRecordsInRange(const Scaling& scaling, const float* raw, size_t rows, float* out) {
  const int n = scaling.variableCount();
  // The columns are ascending and each used once: as many as a row has are
  // all of them, in order.
  if (n == scaling.columnCount) {
    return scaleAllInRange(rows, n, scaling.min.data(), scaling.max.data(), raw, out, scaling.complementCoding);
  }
  const auto length = static_cast<size_t>(scaling.inputLength());
  for (size_t r = 0; r < rows; ++r) {
    float* const record = out + r * length;
    if (!scaleInRange(n, scaling.columns.data(), scaling.min.data(), scaling.max.data(),
                      raw + r * static_cast<size_t>(scaling.columnCount), record,
                      scaling.complementCoding ? record + n : nullptr)) {
      return r;
    }
  }
  return rows;
}

void scaleRecord(const Scaling& scaling, const float* raw, float* out, bool clip, const std::string& name,
                 int64_t rowNumber) {
  if (scaleRecordsInRange(scaling, raw, 1, out) == 1) return;
  const int n = scaling.variableCount();
  float* const complements = scaling.complementCoding ? out + n : nullptr;
  // A value outside its range: the row is bad, or its values are clipped.
  for (int k = 0; k < n; ++k) {
    const float x = raw[scaling.columns[static_cast<size_t>(k)]];
    const float min = scaling.min[static_cast<size_t>(k)];
    const float max = scaling.max[static_cast<size_t>(k)];
    if (x < min || x > max) {
      if (!clip) failBadRow(name, rowNumber);
      out[k] = x < min ? 0.0f : 1.0f;
      if (complements != nullptr) complements[k] = 1.0f - out[k];
    }
  }
}

}  // namespace fuzzyart
