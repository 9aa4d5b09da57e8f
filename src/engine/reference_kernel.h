// The plain loops of the choice and the search, written as the definitions
// read: every sum recomputed per category and per test, resets followed by a
// new search, with the same match test as the fast engine. The program uses
// the fast kernel; the plain build (fuzzyart_plain) runs these, as the oracle
// the end-to-end cases check and the baseline benchmarks compare against.
#pragma once

#include <span>

#include "engine/category_table.h"
#include "engine/resonance.h"

namespace fuzzyart {

// Choice values S_j / (Alpha + |w_j|) into choices; returns the first category
// whose denominator is zero, or -1.
int referenceChoices(const CategoryTable& table, std::span<const float> input, float* choices);

// The search with its -10.0 start, strict comparison and resets to -1.0; the
// match numerator is summed again for every test.
SearchResult referenceSearch(const CategoryTable& table, std::span<const float> input, float vigilance,
                             float* choices);

}  // namespace fuzzyart
