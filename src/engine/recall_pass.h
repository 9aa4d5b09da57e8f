// Recall: every prepared row is classified against the final categories,
// written to the category value file, counted, and added to the centre sums.
#pragma once

#include <cstdint>

#include "data/record_file.h"
#include "engine/category_table.h"

namespace fuzzyart {

class OutputFile;
struct CentreSums;

struct RecallParameters {
  float vigilance = 0.5f;
  bool quiet = false;
  int32_t variableCount = 0;  // the leading values of a row that the centre sums take
  bool parallel = true;       // classify blocks of rows on both cores
};

// One pass over the prepared rows. The value file receives "%d\n" with the
// accepted category's number (from 1) per row, in row order; the counts of
// the table and, when given, the centre sums are raised. Stops the run on the
// "(RC)" conditions or a cancel; the value file then holds exactly the rows
// before the stop.
void recallRows(RecordReader& rows, CategoryTable& table, const RecallParameters& parameters,
                OutputFile& valueFile, CentreSums* centres);

}  // namespace fuzzyart
