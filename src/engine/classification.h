// Classification: every prepared row against fixed categories, in row order,
// with the rows of a block classified on several cores at once.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "engine/category_table.h"
#include "engine/row_search.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/rows.h"

namespace fuzzyart {

// Told of every row in row order: its number, its category (-1 when none
// accepts it) and the row itself.
using AcceptRow = std::function<void(int64_t row, int category, std::span<const float> input)>;

// The category of one row, or -1 when none accepts it. Stops on a zero
// denominator ("Division by 0 ... (Vicinityvector(RC))" or "(Resonance(RC))").
int classifyOne(const CategoryTable& table, std::span<const float> input, const SearchOptions& options);

// Every row of the source to accept(), in row order, after the observer has
// heard of it. threads 0: every usable core (the plain engine takes one).
void classifyRows(const CategoryTable& table, RowSource& rows, const SearchOptions& options, const AcceptRow& accept,
                  Observer* observer, int threads);

}  // namespace fuzzyart
