// What a row's decision means. In learning, by the Fuzzy ART rule: the
// winner learns the row, a row that no category accepts becomes a new one
// (a copy of the row: fast commit). In classification: the accepting
// category, or none. A zero denominator stops the work with its message, a
// table that cannot take another category with "Too many categories".
#pragma once

#include <cstddef>
#include <span>

#include "engine/category_table.h"
#include "engine/decision.h"
#include "engine/row_search.h"
#include "fuzzyart/observer.h"

namespace fuzzyart {

// What the work was doing when a denominator was zero: the messages of
// classification carry "(RC)".
enum class Work { kLearning, kClassification };

[[noreturn]] void failZeroSum(Outcome outcome, Work work);

// Row k of the search's rows (`input`) applied to the table with the
// learning rate beta. The search hears of every change.
void learnRow(CategoryTable& table, RowSearch& search, const Decision& decision, size_t k,
              std::span<const float> input, float beta, Observer* observer);

// Makes the row a new category, or stops when the table is full.
void commitRow(CategoryTable& table, RowSearch& search, std::span<const float> input, Observer* observer);

// The category that accepts the row, or -1.
int acceptedCategory(const Decision& decision);

}  // namespace fuzzyart
