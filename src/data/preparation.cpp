#include <cfloat>
#include <new>
#include <vector>

#include "base/failure.h"
#include "base/reservation.h"
#include "data/row_reader.h"
#include "data/row_scaling.h"
#include "fuzzyart/data.h"

namespace fuzzyart {

namespace {
// Kept values are held in blocks of this many floats, so that keeping them
// never copies what is already kept.
constexpr size_t kKeptBlock = size_t{1} << 20;
}  // namespace

Preparation::Preparation(TextFile& data, ScalingOptions options) : data_(data), options_(std::move(options)) {}

// Pass 1: check every row and measure each column's range.
void Preparation::measure(Observer* observer) {
  const std::string& name = data_.name();
  std::vector<float> row(kRowBufferSize);
  RowShape shape;
  counter_ = 0;
  keptRows_.clear();
  kept_ = keepBudget_ > 0;
  size_t keptBytes = 0;
  for (;;) {
    const int32_t n = readDataRow(row.data(), data_, shape, observer);
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
  if (data_.failed()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", name.c_str());
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
    keptRows_.clear();
    keptRows_.shrink_to_fit();
    return false;
  }
  try {
    if (keptRows_.empty() || keptRows_.back().size() + columns > kKeptBlock) {
      keptRows_.emplace_back().reserve(kKeptBlock);
    }
    keptRows_.back().insert(keptRows_.back().end(), row, row + columns);
  } catch (const std::bad_alloc&) {
    keptRows_.clear();
    keptRows_.shrink_to_fit();
    return false;
  }
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
    for (const std::vector<float>& block : keptRows_) {
      for (size_t at = 0; at + columns <= block.size(); at += columns, ++dataRow) {
        reportRow(observer, RowLoop::kScale, counter_, 0);
        scaleRecord(scaling, block.data() + at, record.data(), false, name, dataRow);
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
