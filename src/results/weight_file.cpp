// The category/weight file (.FAC): its writer, and both readings of a stored
// file in a recall (the widening of the ranges and the loading).
#include <cstdarg>
#include <vector>

#include "base/failure.h"
#include "data/row_reader.h"
#include "results/result_streams.h"

namespace fuzzyart {

namespace {

void writeChecked(OutputFile& file, const char* format, ...) __attribute__((format(printf, 2, 3)));

void writeChecked(OutputFile& file, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const bool written = file.vprint(format, args);
  va_end(args);
  if (!written) failDiskFull();
}

[[noreturn]] void failBadCategoryFile(const TextFile& file) {
  fail(ErrorKind::kBadCategoryFile, "Bad category/weightfile: %s\n", file.name().c_str());
}

}  // namespace

void writeCategoryWeightFile(OutputFile& file, const Network& network, const Scaling& scaling,
                             std::span<const int64_t> counts, const std::string& dataName, int detail,
                             Observer* observer) {
  const NetworkParameters& p = network.parameters();
  if (detail >= 1) {
    // The Greek labels are the code page 437 bytes of alpha and beta in the
    // file, whatever the console shows.
    writeChecked(file,
                 "! Category/weightfile for datafile: %s\n! No.of Iter:%d \xe0:%.3f \xe1:%.3f Vigilance:%.3f "
                 "Itp:%.3f CompCode:%c\n",
                 dataName.c_str(), p.iterations, double{p.alpha}, double{p.beta}, double{p.vigilance},
                 double{p.itp}, scaling.complementCoding ? 'Y' : 'N');
  }
  const int variables = scaling.variableCount();
  for (int i = 0; i < network.categoryCount(); ++i) {
    const long long count = counts[static_cast<size_t>(i)];
    if (observer != nullptr) observer->onCategoryWritten(i, count);
    if (detail >= 1) writeChecked(file, "Counts=%-6lld ", count);
    // Only the variables' weights: the complement half is not stored.
    const std::vector<float> w = network.weights(i);
    for (int j = 0; j < variables; ++j) {
      const size_t k = static_cast<size_t>(j);
      const double value = unscaleValue(w[k], scaling.min[k], scaling.max[k]);
      if (detail >= 2) {
        writeChecked(file, "k[%d][%d]=%-12.6G ", i, j, value);
      } else {
        writeChecked(file, "%-12.6G ", value);
      }
    }
    writeChecked(file, "\n");
  }
}

int64_t widenByCategoryFile(TextFile& file, ColumnRanges& ranges, Observer* observer) {
  std::vector<float> row(kRowBufferSize);
  RowShape shape{ranges.columns(), ranges.columns()};
  int64_t rows = 0;
  for (;;) {
    const int32_t n = readDataRow(row.data(), file, shape, observer);
    if (n == 0) break;
    reportRow(observer, RowLoop::kCategoryRows, rows, 0);
    if (n < 0) failBadCategoryFile(file);
    ranges.widen(row.data());
    ++rows;
  }
  if (file.failed()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n", file.name().c_str());
  return rows;
}

void loadCategories(TextFile& file, const Scaling& scaling, Network& network, Observer* observer) {
  if (!file.rewind()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n", file.name().c_str());
  std::vector<float> row(kRowBufferSize);
  const int variables = scaling.variableCount();
  std::vector<float> weights(static_cast<size_t>(scaling.inputLength()));
  RowShape shape{scaling.columnCount, scaling.columnCount};
  for (;;) {
    const int32_t n = readDataRow(row.data(), file, shape, observer);
    if (n == 0) break;
    // The first reading checked every row; a bad one now means the file
    // changed since.
    if (n < 0) failBadCategoryFile(file);
    for (int i = 0; i < variables; ++i) {
      const size_t k = static_cast<size_t>(i);
      weights[k] = static_cast<float>(scaleValue(row[static_cast<size_t>(scaling.columns[k])], scaling.min[k],
                                                 scaling.max[k]));
      if (scaling.complementCoding) weights[k + static_cast<size_t>(variables)] = 1.0f - weights[k];
    }
    network.addCategory(weights, observer);
  }
  if (file.failed()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n", file.name().c_str());
  // Nothing could be classified against an empty set of categories.
  if (network.categoryCount() == 0) {
    fail(ErrorKind::kBadCategoryFile, "No categories in category/weightfile: %s\n", file.name().c_str());
  }
}

}  // namespace fuzzyart
