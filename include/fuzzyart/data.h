// Tables of numbers and their preparation: reading a data file, measuring the
// range of every column, and scaling rows into input vectors in 0..1
// (optionally divided by their sum first, optionally followed by their
// complements). In memory, or streamed from a data file to a record file in
// the two passes the command line makes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/large_buffer.h"
#include "fuzzyart/observer.h"
#include "data/record_file.h"
#include "data/text_file.h"

namespace fuzzyart {

struct ScalingOptions {
  bool normalise = false;         // divide each row by the sum of all its values first
  bool complementCoding = false;  // follow the scaled values by 1 minus each of them
  std::vector<int> columns;       // the columns used, from 0, ascending, each once; empty: all
};

// The smallest and largest value of every column of a table (after the
// row-sum division when it is asked for).
struct ColumnRanges {
  std::vector<float> min;
  std::vector<float> max;
  int columns() const { return static_cast<int>(min.size()); }
  // Takes the values of one row (one per column) into the ranges.
  void widen(const float* row);
};

// How raw rows become input vectors: the used columns and their ranges.
struct Scaling {
  int columnCount = 0;       // values of a raw row
  std::vector<int> columns;  // the used columns, ascending; variable k is column columns[k]
  std::vector<float> min;    // per variable
  std::vector<float> max;
  bool normalise = false;
  bool complementCoding = false;
  int variableCount() const { return static_cast<int>(columns.size()); }
  int inputLength() const { return complementCoding ? 2 * variableCount() : variableCount(); }
};

// (x - min) / (max - min), in double from single-precision operands; callers
// store the result in single precision. Computed by the library, so that no
// caller's compiler options can fuse or reorder its arithmetic.
double scaleValue(float x, float min, float max);
// min + (max - min) * w, the inverse, with the same precision.
double unscaleValue(float w, float min, float max);

// A table of raw values, row after row.
struct RowTable {
  std::vector<float> values;
  int64_t rows = 0;
  int columns = 0;
};

// Reads a data file with the command line's reader and checks: every row as
// many values as the first, no foreign character, no value beyond single
// precision, at least one row.
RowTable readDataFile(const std::string& path, Observer* observer = nullptr);

// The ranges of rows held in memory; with normalise each row is divided by
// its sum first. A value that is not finite makes its row bad. Errors name
// the data `name` and count rows from the start of the span.
ColumnRanges measureRanges(std::span<const float> rows, int columns, bool normalise, const std::string& name);

// The scaling of ranges measured with the same normalise option: the -X
// columns must exist, the input length must fit, and no column of the table
// (used or not) may be constant.
Scaling makeScaling(const ColumnRanges& ranges, const ScalingOptions& options, const std::string& name);

// Prepares raw rows (columnCount values each) into input vectors
// (inputLength values each). With clip, values outside the stored ranges
// are clipped into 0..1, so that rows never seen when the ranges were
// measured can be prepared; without it they are a bad row, as is a value
// that is not finite. Rows are counted from the start of the span.
void prepareRows(const Scaling& scaling, std::span<const float> rows, std::span<float> out, bool clip,
                 const std::string& name);

// The command line's preparation of a data file, phase by phase, one row in
// memory at a time:
//   measure()   pass 1: checks every row, measures each column's range;
//   (a recall widens ranges() by its stored categories here)
//   scaling()   the length limit and the constant-column check;
//   scale()     pass 2: scales every row into the record file.
class Preparation {
 public:
  // The data file must be open at its start; it is read, never closed.
  Preparation(TextFile& data, ScalingOptions options);

  // Before measure(): the first pass keeps the values it converted, up to
  // budgetBytes of them, and scale() then scales those instead of reading
  // the text again (a file larger than the budget is still read twice), and
  // releases them.
  // The values, reports and stops are those of the two readings as long as
  // the file does not change between the passes; a change then goes
  // unnoticed, so this is for a data file that the caller holds locked.
  void keepValues(size_t budgetBytes) { keepBudget_ = budgetBytes; }
  // The most threads the passes may use (0: every usable core). With more
  // than one, a pass over the text reads and scans it ahead on a second
  // thread; the results are the same either way.
  void limitThreads(int threads) { threads_ = threads; }

  void measure(Observer* observer);
  int columnCount() const { return columnCount_; }
  int64_t dataRows() const { return dataRows_; }
  ColumnRanges& ranges() { return ranges_; }
  const ColumnRanges& ranges() const { return ranges_; }
  // The row counter that paces the progress reports; the reading of a
  // recall's category file restarts it at the number of its rows.
  void restartCounter(int64_t value) { counter_ = value; }

  Scaling scaling() const;
  void scale(const Scaling& scaling, RecordFileWriter& out, Observer* observer);

 private:
  TextFile& data_;
  ScalingOptions options_;
  int columnCount_ = 0;
  int64_t dataRows_ = 0;
  int64_t counter_ = 0;
  bool keep(const float* row, size_t columns, size_t& keptBytes);
  void scaleKept(const Scaling& scaling, RecordFileWriter& out, Observer* observer);

  ColumnRanges ranges_;
  size_t keepBudget_ = 0;
  int threads_ = 0;
  bool kept_ = false;  // keptBlocks_ hold every row the first pass read
  struct KeptBlock {
    LargeBuffer memory;
    size_t used = 0;  // floats filled, whole rows
    float* values() { return reinterpret_cast<float*>(memory.data()); }
  };
  std::vector<KeptBlock> keptBlocks_;
};

}  // namespace fuzzyart
