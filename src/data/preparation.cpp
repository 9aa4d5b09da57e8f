#include "data/preparation.h"

#include <cfloat>
#include <cmath>
#include <vector>

#include "run/console.h"
#include "run/keyboard.h"
#include "run/work_files.h"

namespace fuzzyart {

namespace {

std::function<void()>& betweenPassesHook() {
  static std::function<void()> hook;
  return hook;
}

[[noreturn]] void badDataRow(const RunContext& context, int64_t row) {
  panic("Bad datafile: %s  Datarow:%lld\n", context.files.dataName.c_str(), static_cast<long long>(row));
}

// Switch N: every value divided by the row's sum, summed in double precision
// over every column of the file and rounded to single precision.
void normaliseRow(const RunContext& context, float* row, int64_t rowNumber) {
  const int columns = context.shape.columnCount;
  double sum = 0.0;
  for (int i = 0; i < columns; ++i) sum += row[i];
  const float rowSum = static_cast<float>(sum);
  if (rowSum == 0.0f) {
    panic("Row sum is 0 in datafile: %s  Datarow:%lld\n", context.files.dataName.c_str(),
          static_cast<long long>(rowNumber));
  }
  for (int i = 0; i < columns; ++i) {
    row[i] = row[i] / rowSum;
    // A quotient beyond single precision (a tiny sum of large values) would
    // poison the ranges, as an overflowing value would: the row is bad.
    if (std::isinf(row[i])) badDataRow(context, rowNumber);
  }
}

void widenRanges(Ranges& ranges, const float* row, int columns) {
  for (int i = 0; i < columns; ++i) {
    if (row[i] < ranges.min[i]) ranges.min[i] = row[i];
    if (row[i] > ranges.max[i]) ranges.max[i] = row[i];
  }
}

// Pass 1: check every row and measure each column's range. Returns the number
// of data rows.
int64_t measureRanges(RunContext& context, int64_t& rowCounter, int64_t& ticks) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  float* row = context.rowBuffer.data();
  for (;;) {
    int32_t n = readDataRow(row, f.dataStream, context.shape);
    if (n == 0) break;
    pollCancel();
    progressTick(rowCounter, ticks, s.quiet);
    if (n < 0) badDataRow(context, rowCounter);
    if (!context.ranges.held()) {
      const int columns = context.shape.columnCount;
      if (columns > kMaxColumns) panic("Too many datacolumnes. Max:%d\n", kMaxColumns);
      reserveVector(context.ranges.min, columns, "MIN", s.debugLevel);
      reserveVector(context.ranges.max, columns, "MAX", s.debugLevel);
      context.ranges.min.assign(static_cast<size_t>(columns), FLT_MAX);
      context.ranges.max.assign(static_cast<size_t>(columns), -FLT_MAX);
    }
    if (s.normalise) normaliseRow(context, row, rowCounter);
    widenRanges(context.ranges, row, context.shape.columnCount);
    ++rowCounter;
  }
  // A read error would silently end the data early.
  if (f.dataStream.failed()) panic("Can't find/open file: %s\n\n", f.dataName.c_str());
  if (rowCounter == 0) panic("No datarows in datafile: %s\n", f.dataName.c_str());
  return rowCounter;
}

// A recall run's stored categories widen the ranges, so that their values
// scale into 0..1 as well.
void widenByCategoryFile(RunContext& context, int64_t& rowCounter) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  if (!openCategoryStream(f, s)) panic("Can't find/open file: %s\n", s.categoryFile.c_str());
  float* row = context.rowBuffer.data();
  rowCounter = 0;
  for (;;) {
    int32_t n = readDataRow(row, f.categoryStream, context.shape);
    if (n == 0) break;
    pollCancel();
    if (n < 0) panic("Bad category/weightfile: %s\n", s.categoryFile.c_str());
    widenRanges(context.ranges, row, context.shape.columnCount);
    ++rowCounter;
  }
  if (f.categoryStream.failed()) panic("Can't find/open file: %s\n", s.categoryFile.c_str());
}

// The data columns used, counted from 0 in ascending order: the -X selection,
// each column once, or every column.
std::vector<int> usedColumns(const RunContext& context) {
  std::vector<int> columns;
  for (int c = 1; c <= context.shape.columnCount; ++c) {
    if (context.settings.selectedCount == 0 || context.settings.columnSelected[c]) columns.push_back(c - 1);
  }
  return columns;
}

// Pass 2: scale the rows that the first pass accepted and write them to the
// temporary file. The row counter runs on from the first pass (or the
// category file) for the spinner.
void writePreparedRows(RunContext& context, const std::vector<int>& columns, int64_t dataRows, int64_t& rowCounter,
                       int64_t& ticks) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  float* row = context.rowBuffer.data();
  const size_t n = columns.size();
  std::vector<float> record(static_cast<size_t>(context.inputLength));
  for (int64_t dataRow = 0; dataRow < dataRows; ++dataRow) {
    int32_t count = readDataRow(row, f.dataStream, context.shape);
    // The file changed since the first pass: its rows were never checked.
    if (count == 0) badDataRow(context, dataRow);
    progressTick(rowCounter, ticks, s.quiet);
    pollCancel();
    if (count < 0) badDataRow(context, dataRow);
    if (s.normalise) normaliseRow(context, row, dataRow);
    for (size_t k = 0; k < n; ++k) {
      const int c = columns[k];
      if (row[c] < context.ranges.min[c] || row[c] > context.ranges.max[c]) badDataRow(context, dataRow);
      record[k] = static_cast<float>(scaleValue(context.ranges, row[c], c));
    }
    if (s.complementCoding) {
      for (size_t k = 0; k < n; ++k) record[n + k] = 1.0f - record[k];
    }
    if (!f.tempStream.write(record.data(), record.size())) {
      panic("Can't create file: %s. Disk full?\n", f.tempName.c_str());
    }
    ++rowCounter;
  }
}

// With -X the ranges of the selected columns move to the front, so that entry
// k belongs to variable k.
void compactRanges(Ranges& ranges, const std::vector<int>& columns) {
  for (size_t k = 0; k < columns.size(); ++k) {
    ranges.min[k] = ranges.min[static_cast<size_t>(columns[k])];
    ranges.max[k] = ranges.max[static_cast<size_t>(columns[k])];
  }
}

}  // namespace

void setBetweenPassesHook(std::function<void()> hook) { betweenPassesHook() = std::move(hook); }

void prepareDataFile(RunContext& context) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  int64_t rowCounter = 0;
  int64_t ticks = 0;

  const int64_t dataRows = measureRanges(context, rowCounter, ticks);

  // Between the passes: the checks, in the order that decides the message.
  if (s.highestColumn > context.shape.columnCount) {
    panic("Dataswitch (-X) greater than number of datacolumnes. %d>%d\n", s.highestColumn,
          context.shape.columnCount);
  }
  if (s.recall) widenByCategoryFile(context, rowCounter);
  const std::vector<int> columns = usedColumns(context);
  const int n = static_cast<int>(columns.size());
  context.shape.variableCount = n;
  context.inputLength = s.complementCoding ? 2 * n : n;
  if (context.inputLength > kMaxColumns) panic("Too many datacolumnes. Max:%d\n", kMaxColumns);
  for (int i = 0; i < context.shape.columnCount; ++i) {
    if (context.ranges.min[i] == context.ranges.max[i]) {
      panic("No dynamic in datafile: %s. Variable: %d\n", f.dataName.c_str(), i + 1);
    }
  }
  if (betweenPassesHook()) betweenPassesHook()();
  if (!f.dataStream.rewind()) panic("Can't find/open file: %s\n\n", f.dataName.c_str());

  writePreparedRows(context, columns, dataRows, rowCounter, ticks);

  if (s.debugLevel >= 2) {
    for (int i = 0; i < context.shape.columnCount; ++i) {
      consoleOut("min[%d]=%-12.6G max[%d]=%-12.6G\n", i, double{context.ranges.min[i]}, i,
                 double{context.ranges.max[i]});
    }
  }
  if (s.selectedCount != 0) compactRanges(context.ranges, columns);
  consoleErr("\n");

  if (!f.tempStream.close()) panic("Can't create file: %s. Disk full?\n", f.tempName.c_str());
  beforeCreating(f, s, f.weightName);
  if (!f.weightStream.create(f.weightName)) panic("Can't create file: %s\n\n", f.weightName.c_str());
  f.dataStream.close();
  if (!f.preparedRows.open(f.tempName, static_cast<size_t>(context.inputLength))) {
    panic("Can't find/open file: %s\n\n", f.tempName.c_str());
  }
  if (s.normalise) consoleErr("Normalized data. ");
  if (s.complementCoding) consoleErr("Complement coded ");
  consoleErr("FuzzyArt algorithm.\n");
}

}  // namespace fuzzyart
