// Learning: one pass in file order over the prepared rows, each row either
// resonating with a category (which learns it) or becoming a new category.
#pragma once

#include "engine/category_table.h"
#include "engine/row_search.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/record_file.h"

namespace fuzzyart {

struct PassParameters {
  int pass = 1;  // counted from 1, for the observer
  float beta = 0.9f;
  SearchOptions search;  // the vigilance's test, the threads of a row, the engine
};

// Stops on a zero denominator ("Division by 0 ... (Vicinityvector)" or
// "(Resonance)"), on a category past the table's capacity, on a failed read
// of the rows, or when the observer cancels.
void learnPass(CategoryTable& table, RowSource& rows, const PassParameters& parameters, Observer* observer);

// The stop of a pass whose rows ended in a failed read.
void checkRowsRead(const RowSource& rows);

}  // namespace fuzzyart
