// Learning: R passes in file order over the prepared rows, each row either
// resonating with a category (which learns it) or becoming a new category.
#pragma once

#include <cstdint>

#include "data/record_file.h"
#include "engine/category_table.h"

namespace fuzzyart {

struct LearningParameters {
  int32_t iterations = 10;
  float beta = 0.9f;  // the Beta of the first pass
  float vigilance = 0.5f;
  float itp = 1.0f;   // Beta is multiplied by it after every pass
  bool quiet = false;
  int32_t debugLevel = 0;
};

// Learns the categories of one data file into an empty table (its alpha set by
// resetForEngine), printing the pass headers, the progress and the final
// number of categories. Stops the run on a zero denominator, on a 1025th
// category, or on a cancel.
void learnCategories(RecordReader& rows, CategoryTable& table, const LearningParameters& parameters);

}  // namespace fuzzyart
