// Learning: one pass in file order over the prepared rows, each row either
// learnt by a category or becoming a new category, by the Fuzzy ART rule or
// by the supervised rule (art_rule.h).
#pragma once

#include <cstdint>
#include <span>

#include "engine/art_rule.h"
#include "engine/category_table.h"
#include "engine/row_search.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/rows.h"

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

// A pass by the supervised rule, labels[r] the label of row r; the table's
// labels grow with it. Returns the pass's conflicts. Stops as learnPass does,
// and on labels that are not one per row.
int64_t learnLabelledPass(CategoryTable& table, LabelledCategories& categories, RowSource& rows,
                          std::span<const int32_t> labels, const PassParameters& parameters, Observer* observer);

// The stop of a pass whose rows ended in a failed read.
void checkRowsRead(const RowSource& rows);

}  // namespace fuzzyart
