// Tables of numbers and their preparation, all in memory: reading a data file,
// measuring the range of every column, and scaling rows into input vectors in
// 0..1 (optionally divided by their sum first, optionally followed by their
// complements).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzzyart/observer.h"

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
  // Takes the values of one row (one per column) into the ranges; a row of
  // another length, or ranges whose min and max differ in length, are
  // refused (Error, kInvalidParameter).
  void widen(std::span<const float> row);
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
// Every call that takes a Scaling refuses one that makeScaling could not have
// made (Error, kInvalidParameter): used columns not ascending within 0 to
// columnCount - 1, or none; not one finite range per variable with min below
// max; an input length past kMaxInputLength.

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
// precision, at least one row. Only a regular file is read: anything else
// (a directory, a FIFO, a device) is refused before it is opened, with the
// message of a missing file.
RowTable readDataFile(const std::string& path, Observer* observer = nullptr);

// The ranges of rows held in memory (`columns` values each, 1 or more, a
// whole number of rows); with normalise each row is divided by its sum first.
// A value that is not finite makes its row bad. Errors name the data `name`
// and count rows from the start of the span.
ColumnRanges measureRanges(std::span<const float> rows, int columns, bool normalise, const std::string& name);

// The scaling of ranges measured with the same normalise option: the -X
// columns must exist, the input length must fit, and no column of the table
// (used or not) may be constant.
Scaling makeScaling(const ColumnRanges& ranges, const ScalingOptions& options, const std::string& name);

// Prepares raw rows (columnCount values each, a whole number of rows) into
// input vectors (inputLength values each; `out` has room for all of them).
// With clip, values outside the stored ranges are clipped into 0..1, so that
// rows never seen when the ranges were measured can be prepared; without it
// they are a bad row, as is a value that is not finite. Rows are counted
// from firstRow at the start of the span (a caller preparing a table a block
// at a time gives each block's place).
void prepareRows(const Scaling& scaling, std::span<const float> rows, std::span<float> out, bool clip,
                 const std::string& name, int64_t firstRow = 0);

}  // namespace fuzzyart
