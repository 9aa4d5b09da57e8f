// Classification: every prepared row against fixed categories, in row order,
// with the rows of a block classified on several cores at once.
#pragma once

#include <span>

#include "base/cores.h"
#include "engine/category_table.h"
#include "engine/choice_kernel.h"
#include "fuzzyart/network.h"

namespace fuzzyart {

// The threads learning may use for a cap of `threads` (0: none).
int learningThreads(int threads);

// The category of one row, or -1 when none accepts it. Stops on a zero
// denominator ("Division by 0 ... (Vicinityvector(RC))" or "(Resonance(RC))").
int classifyOne(const CategoryTable& table, std::span<const float> input, float vigilance, ChoiceScratch& scratch);

// Every row of the source to accept(), in row order, after the observer has
// heard of it. threads 0: every usable core.
void classifyRows(const CategoryTable& table, RowSource& rows, float vigilance, const RowCallback& accept,
                  Observer* observer, int threads);

}  // namespace fuzzyart
