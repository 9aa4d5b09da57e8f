#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "base/chunk_team.h"
#include "base/cores.h"
#include "base/detailed_observer.h"
#include "base/failure.h"
#include "base/reservation.h"
#include "data/preparation.h"
#include "data/row_reader.h"
#include "data/row_scaling.h"
#include "data/scan_ahead.h"

namespace fuzzyart {

namespace {
// Kept values are held in blocks of this many floats (4 MiB, in large
// pages), so that keeping them never copies what is already kept.
constexpr size_t kKeptBlock = size_t{1} << 20;
}  // namespace

Preparation::Preparation(TextFile& data, ScalingOptions options) : data_(data), options_(std::move(options)) {}

// Pass 1: check every row and measure each column's range.
void Preparation::measure(Observer* observer) {
  const std::string& name = data_.name();
  RowShape shape;
  counter_ = 0;
  keptBlocks_.clear();
  kept_ = keepBudget_ > 0;
  size_t keptBytes = 0;
  int64_t gluedRows = 0;
  int64_t firstGluedRow = -1;
  int64_t badRow = -1;
  bool endedOnLine = false;
  bool readFailed = false;
  {
    ScanAhead lines(data_, threadsFor(threads_) > 1);
    for (;;) {
      // The row's values where they were scanned (divided by the row sum
      // there too).
      float* row = nullptr;
      const int32_t n = lines.nextInPlace(row, shape, observer);
      if (n == 0) {
        endedOnLine = lines.endedOnLine();
        break;
      }
      reportRow(observer, RowLoop::kMeasure, counter_, 0);
      if (n < 0) {
        badRow = counter_;
        break;
      }
      if (lines.glued()) {
        if (gluedRows == 0) firstGluedRow = counter_;
        ++gluedRows;
      }
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
      if (options_.normalise) divideBySum(row, shape.columnCount, name, counter_);
      ranges_.widen({row, static_cast<size_t>(shape.columnCount)});
      if (kept_) kept_ = keep(row, static_cast<size_t>(shape.columnCount), keptBytes);
      ++counter_;
    }
    readFailed = lines.failed();
  }
  // The places in the text are looked for only when there is something to
  // tell, by reading the file once more (the reader is gone by now).
  if (badRow >= 0) {
    const TextPlaces places = findTextPlaces(data_, badRow, -1);
    throw BadRowError(badRowMessage(name, badRow), places.bad);
  }
  // A read error would silently end the data early.
  if (readFailed) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", name.c_str());
  DetailedObserver* const detailed = detailedObserver(observer);
  if (detailed != nullptr && (gluedRows > 0 || endedOnLine)) {
    const TextPlaces places = findTextPlaces(data_, -1, firstGluedRow);
    PassOverNotes notes;
    notes.file = name;
    if (places.valueAfter) {
      notes.endLine = places.endLine;
      notes.linesAfter = places.linesAfter;
    }
    notes.gluedRows = gluedRows;
    notes.gluedLine = places.gluedLine;
    notes.gluedField = places.gluedField;
    if (notes.endLine != 0 || notes.gluedRows != 0) detailed->onPassedOver(notes);
  }
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
    try {
      keptBlocks_.emplace_back();
      keptBlocks_.back().memory.resize(kKeptBlock * sizeof(float));
    } catch (const std::bad_alloc&) {
      keptBlocks_.clear();
      keptBlocks_.shrink_to_fit();
      return false;
    }
  }
  KeptBlock& last = keptBlocks_.back();
  std::memcpy(last.values() + last.used, row, columns * sizeof(float));
  last.used += columns;
  return true;
}

Scaling Preparation::scaling() const { return makeScaling(ranges_, options_, data_.name()); }

// The second pass over the values the first kept: the records of a block of
// rows are scaled in chunks on every thread allowed, while this thread
// reports and writes those of the chunks done, row by row in order, so that
// reports, writes and stops come as scaling one row at a time makes them.
void Preparation::scaleKept(const Scaling& scaling, RecordFileWriter& out, Observer* observer, bool clip) {
  const std::string& name = data_.name();
  const auto columns = static_cast<size_t>(columnCount_);
  const auto length = static_cast<size_t>(scaling.inputLength());
  const size_t rowsPerKept = kKeptBlock / columns;
  const auto rows = static_cast<size_t>(dataRows_);
  // Blocks of about a megabyte of records, in 16 chunks.
  const size_t rowsPerBlock = std::max<size_t>(16, (size_t{1} << 18) / std::max<size_t>(1, length));
  const size_t chunkRows = rowsPerBlock / 16;
  // The records of a block, then a byte per row whose scaling threw, to be
  // scaled again here in its turn.
  const size_t blockRows = std::min(rows, rowsPerBlock);
  LargeBuffer memory(blockRows * length * sizeof(float) + blockRows);
  float* const records = reinterpret_cast<float*>(memory.data());
  uint8_t* const failed = reinterpret_cast<uint8_t*>(records + blockRows * length);
  size_t blockFirst = 0;
  auto keptRow = [&](size_t row) {
    return keptBlocks_[row / rowsPerKept].values() + row % rowsPerKept * columns;
  };
  // A second thread pays from a few blocks on.
  const int threads = rows >= 4 * rowsPerBlock ? threadsFor(threads_) : 1;
  ChunkTeam team(threads, rowsPerBlock, chunkRows, [&](size_t first, size_t last, int) {
    for (size_t k = first; k < last;) {
      // The rows up to the end of the chunk or of their kept block lie side
      // by side.
      const size_t keptEnd = (blockFirst + k) / rowsPerKept * rowsPerKept + rowsPerKept - blockFirst;
      const size_t run = std::min(last, keptEnd) - k;
      const size_t scaled = scaleRecordsInRange(scaling, keptRow(blockFirst + k), run, records + k * length);
      std::memset(failed + k, 0, scaled);
      k += scaled;
      if (scaled < run) failed[k++] = 1;
    }
  });
  for (; blockFirst < rows; blockFirst += rowsPerBlock) {
    const size_t count = std::min(rowsPerBlock, rows - blockFirst);
    team.start(count);
    for (size_t c = 0; c < team.chunks(); ++c) {
      team.take(c);
      const size_t last = std::min(count, (c + 1) * chunkRows);
      for (size_t k = c * chunkRows; k < last;) {
        // The rows that fit in the writer's buffer go to it together, after
        // their reports; the row that has the buffer written out goes alone,
        // so that a failed write comes after the same reports as row by row.
        const size_t run = std::clamp<size_t>(out.recordsBeforeWrite(length), 1, last - k);
        size_t row = k;
        try {
          for (; row < k + run; ++row) {
            reportRow(observer, RowLoop::kScale, counter_ + static_cast<int64_t>(row - k), 0);
            if (failed[row] != 0) {
              scaleRecord(scaling, keptRow(blockFirst + row), records + row * length, clip, name,
                          static_cast<int64_t>(blockFirst + row));
            }
          }
        } catch (...) {
          // A stop: the rows before it are written, as row by row.
          out.write(records + k * length, (row - k) * length);
          counter_ += static_cast<int64_t>(row - k);
          throw;
        }
        if (!out.write(records + k * length, run * length)) {
          fail(ErrorKind::kWriteFailed, "Can't create file: %s. Disk full?\n", out.name().c_str());
        }
        counter_ += static_cast<int64_t>(run);
        k += run;
      }
    }
  }
}

// Pass 2: scale the rows that the first pass accepted into the record file.
// Each row is read again and checked once more, since the file may have
// changed since the first pass.
void Preparation::scale(const Scaling& scaling, RecordFileWriter& out, Observer* observer, bool clip) {
  if (kept_) {
    scaleKept(scaling, out, observer, clip);
    // Their memory serves the blocks of the phases after; another pass
    // reads the text again.
    keptBlocks_.clear();
    kept_ = false;
    return;
  }
  const std::string& name = data_.name();
  std::vector<float> record(static_cast<size_t>(scaling.inputLength()));
  if (!data_.rewind()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", name.c_str());
  // Read and scanned ahead as in the first pass.
  ScanAhead lines(data_, threadsFor(threads_) > 1);
  RowShape shape{columnCount_, columnCount_};
  for (int64_t dataRow = 0; dataRow < dataRows_; ++dataRow) {
    float* row = nullptr;
    const int32_t count = lines.nextInPlace(row, shape, observer);
    if (count == 0) failBadRow(name, dataRow);
    reportRow(observer, RowLoop::kScale, counter_, 0);
    if (count < 0) failBadRow(name, dataRow);
    if (scaling.normalise) divideBySum(row, columnCount_, name, dataRow);
    scaleRecord(scaling, row, record.data(), clip, name, dataRow);
    if (!out.write(record.data(), record.size())) {
      fail(ErrorKind::kWriteFailed, "Can't create file: %s. Disk full?\n", out.name().c_str());
    }
    ++counter_;
  }
}

}  // namespace fuzzyart
