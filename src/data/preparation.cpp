#include <sys/mman.h>

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "base/failure.h"
#include "base/cores.h"
#include "base/reservation.h"
#include "data/row_reader.h"
#include "data/row_scaling.h"
#include "data/scan_ahead.h"
#include "fuzzyart/data.h"

namespace fuzzyart {

namespace {
// Kept values are held in blocks of this many floats (4 MiB), so that keeping
// them never copies what is already kept; each block asks for huge pages, as
// the first touch of small ones costs more than the copy.
constexpr size_t kKeptBlock = size_t{1} << 20;
constexpr size_t kKeptAlignment = size_t{2} << 20;

float* allocateKeptBlock() {
  void* memory = std::aligned_alloc(kKeptAlignment, kKeptBlock * sizeof(float));
  if (memory != nullptr) madvise(memory, kKeptBlock * sizeof(float), MADV_HUGEPAGE);
  return static_cast<float*>(memory);
}
}  // namespace

void Preparation::FreeKept::operator()(float* values) const { std::free(values); }

Preparation::Preparation(TextFile& data, ScalingOptions options) : data_(data), options_(std::move(options)) {}

// Pass 1: check every row and measure each column's range.
void Preparation::measure(Observer* observer) {
  const std::string& name = data_.name();
  std::vector<float> row(kRowBufferSize);
  RowShape shape;
  counter_ = 0;
  keptBlocks_.clear();
  kept_ = keepBudget_ > 0;
  size_t keptBytes = 0;
  ScanAhead lines(data_, threadsFor(threads_) > 1);
  for (;;) {
    const int32_t n = lines.next(row.data(), shape, observer);
    if (n == 0) break;
    reportRow(observer, RowLoop::kMeasure, counter_, 0);
    if (n < 0) failBadRow(name, counter_);
    if (ranges_.columns() == 0) {
      const int columns = shape.columnCount;
      if (columns > kMaxInputLength) fail(ErrorKind::kBadData, "Too many datacolumnes. Max:%d\n", kMaxInputLength);
      const int64_t bytes = int64_t{columns} * 4;
      reserveReported(observer, {Reservation::kRangeVector, bytes, false, 0, "MIN"},
                      [&] { return ranges_.min.assign(static_cast<size_t>(columns), FLT_MAX), true; },
                      "Not enough memory for MINvector.\n");
      reserveReported(observer, {Reservation::kRangeVector, bytes, false, 0, "MAX"},
                      [&] { return ranges_.max.assign(static_cast<size_t>(columns), -FLT_MAX), true; },
                      "Not enough memory for MAXvector.\n");
    }
    if (options_.normalise) divideBySum(row.data(), shape.columnCount, name, counter_);
    ranges_.widen(row.data());
    if (kept_) kept_ = keep(row.data(), static_cast<size_t>(shape.columnCount), keptBytes);
    ++counter_;
  }
  // A read error would silently end the data early.
  if (lines.failed()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", name.c_str());
  if (counter_ == 0) fail(ErrorKind::kBadData, "No datarows in datafile: %s\n", name.c_str());
  columnCount_ = shape.columnCount;
  dataRows_ = counter_;
}

// Adds one row's values (divided by the row sum already when asked for) to
// the kept ones; false, with the kept values released, once they would pass
// the budget or the memory cannot be had.
bool Preparation::keep(const float* row, size_t columns, size_t& keptBytes) {
  keptBytes += columns * sizeof(float);
  if (keptBytes > keepBudget_ || columns > kKeptBlock) {
    keptBlocks_.clear();
    keptBlocks_.shrink_to_fit();
    return false;
  }
  if (keptBlocks_.empty() || keptBlocks_.back().used + columns > kKeptBlock) {
    KeptBlock block{std::unique_ptr<float[], FreeKept>(allocateKeptBlock()), 0};
    if (!block.values) {
      keptBlocks_.clear();
      keptBlocks_.shrink_to_fit();
      return false;
    }
    try {
      keptBlocks_.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
      keptBlocks_.clear();
      keptBlocks_.shrink_to_fit();
      return false;
    }
  }
  KeptBlock& last = keptBlocks_.back();
  std::memcpy(last.values.get() + last.used, row, columns * sizeof(float));
  last.used += columns;
  return true;
}

Scaling Preparation::scaling() const { return makeScaling(ranges_, options_, data_.name()); }

// Pass 2: scale the rows that the first pass accepted into the record file.
// Each row is read again and checked once more, since the file may have
// changed since the first pass.
void Preparation::scale(const Scaling& scaling, RecordFileWriter& out, Observer* observer) {
  const std::string& name = data_.name();
  std::vector<float> record(static_cast<size_t>(scaling.inputLength()));
  if (kept_) {
    // The rows as the first pass read them, with their reports and checks.
    const auto columns = static_cast<size_t>(columnCount_);
    int64_t dataRow = 0;
    for (const KeptBlock& block : keptBlocks_) {
      for (size_t at = 0; at + columns <= block.used; at += columns, ++dataRow) {
        reportRow(observer, RowLoop::kScale, counter_, 0);
        scaleRecord(scaling, block.values.get() + at, record.data(), false, name, dataRow);
        if (!out.write(record.data(), record.size())) {
          fail(ErrorKind::kWriteFailed, "Can't create file: %s. Disk full?\n", out.name().c_str());
        }
        ++counter_;
      }
    }
    return;
  }
  if (!data_.rewind()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", name.c_str());
  std::vector<float> row(kRowBufferSize);
  RowShape shape{columnCount_, columnCount_};
  for (int64_t dataRow = 0; dataRow < dataRows_; ++dataRow) {
    const int32_t count = readDataRow(row.data(), data_, shape, observer);
    if (count == 0) failBadRow(name, dataRow);
    reportRow(observer, RowLoop::kScale, counter_, 0);
    if (count < 0) failBadRow(name, dataRow);
    if (scaling.normalise) divideBySum(row.data(), columnCount_, name, dataRow);
    scaleRecord(scaling, row.data(), record.data(), false, name, dataRow);
    if (!out.write(record.data(), record.size())) {
      fail(ErrorKind::kWriteFailed, "Can't create file: %s. Disk full?\n", out.name().c_str());
    }
    ++counter_;
  }
}

}  // namespace fuzzyart
