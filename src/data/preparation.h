// The command line's preparation of a data file in two passes, one row in
// memory at a time, from the text to the record file of prepared rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/large_buffer.h"
#include "data/record_file.h"
#include "data/text_file.h"
#include "fuzzyart/data.h"
#include "fuzzyart/observer.h"

namespace fuzzyart {

// The phases:
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
  // With clip, values outside the scaling's ranges are clipped into 0..1 as
  // prepareRows clips them (for a scaling made elsewhere, with the options
  // the preparation was made with); without it they make their row bad.
  void scale(const Scaling& scaling, RecordFileWriter& out, Observer* observer, bool clip = false);

 private:
  TextFile& data_;
  ScalingOptions options_;
  int columnCount_ = 0;
  int64_t dataRows_ = 0;
  int64_t counter_ = 0;
  bool keep(const float* row, size_t columns, size_t& keptBytes);
  void scaleKept(const Scaling& scaling, RecordFileWriter& out, Observer* observer, bool clip);

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
