// Learning: one pass in file order over the prepared rows, each row either
// resonating with a category (which learns it) or becoming a new category.
#pragma once

#include <cstdint>

#include "engine/category_table.h"
#include "engine/choice_kernel.h"
#include "engine/resonance.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/rows.h"

namespace fuzzyart {

struct PassParameters {
  int pass = 1;      // counted from 1, for the observer
  float beta = 0.9f;
  float vigilance = 0.5f;
  int threads = 1;   // the most threads a row's search may use
  // Tables of at least this many weights take rows in batches (the default:
  // those past a core's first-level cache).
  int64_t batchFloats = kBatchFloats;
  // Rows that could be shared among threads are shared only where that is
  // measured to be faster (search_team.h); false shares them always.
  bool measureSharing = true;
};

// Stops on a zero denominator ("Division by 0 ... (Vicinityvector)" or
// "(Resonance)"), on a category past the table's capacity, on a failed read
// of the rows, or when the observer cancels.
void learnPass(CategoryTable& table, RowSource& rows, const PassParameters& parameters, ChoiceScratch& scratch,
               Observer* observer);

// The stop of a pass whose rows ended in a failed read.
void checkRowsRead(const RowSource& rows);

}  // namespace fuzzyart
