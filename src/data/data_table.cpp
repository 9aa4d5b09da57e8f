#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/cores.h"
#include "base/failure.h"
#include "data/row_reader.h"
#include "data/row_scaling.h"
#include "data/scaling_check.h"
#include "data/scan_ahead.h"
#include "data/text_file.h"
#include "fuzzyart/data.h"
#include "base/large_buffer.h"

namespace fuzzyart {

void ColumnRanges::widen(std::span<const float> values) {
  const size_t columns = min.size();
  if (values.size() != columns || max.size() != columns) {
    fail(ErrorKind::kInvalidParameter, "A row of %zu values for ranges of %zu and %zu columns.\n", values.size(),
         columns, max.size());
  }
  const float* const row = values.data();
  // Stored whatever the comparison gives, so that the loop is vector code;
  // a value that is not a number leaves a bound as it is, as before.
  float* __restrict const low = min.data();
  float* __restrict const high = max.data();
  for (size_t i = 0; i < columns; ++i) {
    low[i] = row[i] < low[i] ? row[i] : low[i];
    high[i] = row[i] > high[i] ? row[i] : high[i];
  }
}

namespace {

// A table's values gathered in blocks of large pages and moved into one
// vector once their number is known: a growing vector copied them again at
// every doubling, each time into fresh small pages, whose first touch traps
// to the host on a virtual machine; that took most of the reading's time.
class GatheredValues {
 public:
  void append(const float* values, size_t count) {
    while (count > 0) {
      if (blocks_.empty() || lastUsed_ == kBlockFloats) {
        blocks_.emplace_back(kBlockFloats * sizeof(float));
        lastUsed_ = 0;
      }
      const size_t taken = std::min(count, kBlockFloats - lastUsed_);
      std::memcpy(reinterpret_cast<float*>(blocks_.back().data()) + lastUsed_, values, taken * sizeof(float));
      lastUsed_ += taken;
      values += taken;
      count -= taken;
    }
  }

  std::vector<float> take() {
    const size_t total = blocks_.empty() ? 0 : (blocks_.size() - 1) * kBlockFloats + lastUsed_;
    std::vector<float> values;
    values.reserve(total);
    adviseLargePages(values.data(), total * sizeof(float));
    for (size_t b = 0; b < blocks_.size(); ++b) {
      const auto* block = reinterpret_cast<const float*>(blocks_[b].data());
      values.insert(values.end(), block, block + (b + 1 < blocks_.size() ? kBlockFloats : lastUsed_));
      blocks_[b].release();
    }
    blocks_.clear();
    return values;
  }

 private:
  static constexpr size_t kBlockFloats = size_t{1} << 20;  // 4 MiB
  std::vector<LargeBuffer> blocks_;
  size_t lastUsed_ = 0;
};

}  // namespace

RowTable readDataFile(const std::string& path, Observer* observer) {
  TextFile file;
  if (!file.openRegular(path)) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", path.c_str());
  RowTable table;
  GatheredValues values;
  RowShape shape;
  bool bad = false;
  bool failed = false;
  {
    // Read and scanned ahead on a second thread, as the command line's first
    // pass reads.
    ScanAhead lines(file, threadsFor(0) > 1);
    for (;;) {
      float* row = nullptr;
      const int32_t n = lines.nextInPlace(row, shape, observer);
      if (n == 0) break;
      reportRow(observer, RowLoop::kMeasure, table.rows, 0);
      if (n < 0) {
        bad = true;
        break;
      }
      if (n > kMaxInputLength) fail(ErrorKind::kBadData, "Too many datacolumnes. Max:%d\n", kMaxInputLength);
      values.append(row, static_cast<size_t>(n));
      ++table.rows;
    }
    failed = lines.failed();
  }
  // Where the bad row stands, found once the reader is gone.
  if (bad) throw BadRowError(badRowMessage(path, table.rows), findTextPlaces(file, table.rows, -1).bad);
  if (failed) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", path.c_str());
  if (table.rows == 0) fail(ErrorKind::kBadData, "No datarows in datafile: %s\n", path.c_str());
  table.columns = shape.columnCount;
  table.values = values.take();
  return table;
}

namespace {

// The rows of a table of `columns` values each: a partial row at the end
// would be dropped without a word.
int64_t wholeRows(std::span<const float> values, int columns) {
  if (columns < 1 || values.size() % static_cast<size_t>(columns) != 0) {
    fail(ErrorKind::kInvalidParameter, "%zu values are no whole number of rows of %d columns.\n", values.size(),
         columns);
  }
  return static_cast<int64_t>(values.size() / static_cast<size_t>(columns));
}

}  // namespace

ColumnRanges measureRanges(std::span<const float> rows, int columns, bool normalise, const std::string& name) {
  const int64_t count = wholeRows(rows, columns);
  const size_t width = static_cast<size_t>(columns);
  if (count == 0) fail(ErrorKind::kBadData, "No datarows in datafile: %s\n", name.c_str());
  if (columns > kMaxInputLength) fail(ErrorKind::kBadData, "Too many datacolumnes. Max:%d\n", kMaxInputLength);
  ColumnRanges ranges;
  ranges.min.assign(width, FLT_MAX);
  ranges.max.assign(width, -FLT_MAX);
  std::vector<float> row(width);
  for (int64_t r = 0; r < count; ++r) {
    std::copy_n(rows.begin() + r * columns, width, row.begin());
    requireFinite(row.data(), columns, name, r);
    if (normalise) divideBySum(row.data(), columns, name, r);
    ranges.widen(row);
  }
  return ranges;
}

Scaling makeScaling(const ColumnRanges& ranges, const ScalingOptions& options, const std::string& name) {
  if (ranges.columns() < 1 || ranges.max.size() != ranges.min.size()) {
    fail(ErrorKind::kInvalidParameter, "Ranges of %zu and %zu columns make no scaling.\n", ranges.min.size(),
         ranges.max.size());
  }
  Scaling s;
  s.columnCount = ranges.columns();
  s.normalise = options.normalise;
  s.complementCoding = options.complementCoding;
  s.columns = options.columns;
  std::sort(s.columns.begin(), s.columns.end());
  s.columns.erase(std::unique(s.columns.begin(), s.columns.end()), s.columns.end());
  if (!s.columns.empty() && s.columns.front() < 0) {
    fail(ErrorKind::kInvalidParameter, "Data switch (-X) invalid. Value:%d\n", s.columns.front() + 1);
  }
  // The checks between the passes, in the order that decides the message.
  if (!s.columns.empty() && s.columns.back() >= s.columnCount) {
    fail(ErrorKind::kBadData, "Dataswitch (-X) greater than number of datacolumnes. %d>%d\n", s.columns.back() + 1,
         s.columnCount);
  }
  if (s.columns.empty()) {
    for (int c = 0; c < s.columnCount; ++c) s.columns.push_back(c);
  }
  if (s.inputLength() > kMaxInputLength) {
    fail(ErrorKind::kBadData, "Too many datacolumnes. Max:%d\n", kMaxInputLength);
  }
  // Each used column must vary; a column left out is never scaled, so a
  // constant one there is no reason to refuse the work.
  for (int c : s.columns) {
    if (ranges.min[static_cast<size_t>(c)] == ranges.max[static_cast<size_t>(c)]) {
      fail(ErrorKind::kBadData, "No dynamic in datafile: %s. Variable: %d\n", name.c_str(), c + 1);
    }
  }
  // Ranges that no table gave: never widened, or filled by hand.
  for (int c : s.columns) {
    const float low = ranges.min[static_cast<size_t>(c)];
    const float high = ranges.max[static_cast<size_t>(c)];
    if (!(std::isfinite(low) && std::isfinite(high) && low < high)) {
      fail(ErrorKind::kInvalidParameter, "The range of column %d is no finite range from low to high.\n", c + 1);
    }
  }
  for (int c : s.columns) {
    s.min.push_back(ranges.min[static_cast<size_t>(c)]);
    s.max.push_back(ranges.max[static_cast<size_t>(c)]);
  }
  return s;
}

void prepareRows(const Scaling& scaling, std::span<const float> rows, std::span<float> out, bool clip,
                 const std::string& name, int64_t firstRow) {
  checkScaling(scaling);
  const size_t columns = static_cast<size_t>(scaling.columnCount);
  const size_t length = static_cast<size_t>(scaling.inputLength());
  const int64_t count = wholeRows(rows, scaling.columnCount);
  if (out.size() < static_cast<size_t>(count) * length) {
    fail(ErrorKind::kInvalidParameter, "Room for %lld prepared rows needed.\n", static_cast<long long>(count));
  }
  std::vector<float> row(columns);
  for (int64_t r = 0; r < count; ++r) {
    std::copy_n(rows.begin() + r * static_cast<int64_t>(columns), columns, row.begin());
    requireFinite(row.data(), scaling.columnCount, name, firstRow + r);
    if (scaling.normalise) divideBySum(row.data(), scaling.columnCount, name, firstRow + r);
    scaleRecord(scaling, row.data(), out.data() + r * static_cast<int64_t>(length), clip, name, firstRow + r);
  }
}

}  // namespace fuzzyart
