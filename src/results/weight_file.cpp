// The category/weight file (.FAC): its writer, and both readings of a stored
// file in a recall (the widening of the ranges and the loading).
#include <cstdarg>
#include <string>
#include <vector>

#include "base/detailed_observer.h"
#include "base/failure.h"
#include "base/number_text.h"
#include "data/row_reader.h"
#include "data/scaling_check.h"
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
  checkScaling(scaling);
  if (scaling.inputLength() != network.inputLength() || counts.size() != static_cast<size_t>(network.categoryCount())) {
    fail(ErrorKind::kInvalidParameter, "A scaling of input length %d and %zu counts for a network of %d and %d.\n",
         scaling.inputLength(), counts.size(), network.inputLength(), network.categoryCount());
  }
  const NetworkParameters& p = network.parameters();
  if (detail >= 1) {
    // The Greek labels are the code page 437 bytes of alpha and beta in the
    // file, whatever the console shows.
    writeChecked(file,
                 "! Category/weightfile for datafile: %s\n! No.of Iter:%d \xe0:%s \xe1:%s Vigilance:%s Itp:%s "
                 "CompCode:%c\n",
                 dataName.c_str(), p.iterations, fixedText(p.alpha, 3).c_str(), fixedText(p.beta, 3).c_str(),
                 fixedText(p.vigilance, 3).c_str(), fixedText(p.itp, 3).c_str(), scaling.complementCoding ? 'Y' : 'N');
  }
  DetailedObserver* const detailed = detailedObserver(observer);
  const int variables = scaling.variableCount();
  std::string line;
  for (int i = 0; i < network.categoryCount(); ++i) {
    const long long count = counts[static_cast<size_t>(i)];
    if (detailed != nullptr) detailed->onCategoryWritten(i, count);
    if (detail >= 1) writeChecked(file, "Counts=%-6lld ", count);
    // Only the variables' weights: the complement half is not stored.
    const std::vector<float> w = network.weights(i);
    line.clear();
    for (int j = 0; j < variables; ++j) {
      const size_t k = static_cast<size_t>(j);
      if (detail >= 2) line += "k[" + std::to_string(i) + "][" + std::to_string(j) + "]=";
      appendGeneral6(line, unscaleValue(w[k], scaling.min[k], scaling.max[k]));
      line.push_back(' ');
    }
    line.push_back('\n');
    if (!file.write(line)) failDiskFull();
  }
}

int64_t widenByCategoryFile(TextFile& file, ColumnRanges& ranges, Observer* observer) {
  // The reader stores a row of at most kMaxInputLength values.
  if (ranges.columns() < 1 || ranges.columns() > kMaxInputLength) {
    fail(ErrorKind::kInvalidParameter, "Ranges of %d columns for a category/weightfile of 1 to %d.\n",
         ranges.columns(), kMaxInputLength);
  }
  std::vector<float> row(kRowBufferSize);
  RowShape shape{ranges.columns(), ranges.columns()};
  int64_t rows = 0;
  for (;;) {
    const int32_t n = readDataRow(row.data(), file, shape, observer);
    if (n == 0) break;
    reportRow(observer, RowLoop::kCategoryRows, rows, 0);
    if (n < 0) failBadCategoryFile(file);
    ranges.widen({row.data(), static_cast<size_t>(ranges.columns())});
    ++rows;
  }
  if (file.failed()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n", file.name().c_str());
  return rows;
}

void loadCategories(TextFile& file, const Scaling& scaling, Network& network, Observer* observer) {
  checkScaling(scaling);
  if (scaling.columnCount > kMaxInputLength || scaling.inputLength() != network.inputLength()) {
    fail(ErrorKind::kInvalidParameter, "A scaling of %d columns and input length %d for a network of %d.\n",
         scaling.columnCount, scaling.inputLength(), network.inputLength());
  }
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
