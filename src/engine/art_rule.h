// What a row's decision means. In learning, by the Fuzzy ART rule: the
// winner learns the row, a row that no category accepts becomes a new one
// (a copy of the row: fast commit); by the supervised rule, the same with a
// label per category and match tracking (supervised_network.h). In
// classification: the accepting category, or none. A zero denominator stops
// the work with its message, a table that cannot take another category with
// "Too many categories".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/category_table.h"
#include "engine/decision.h"
#include "engine/row_search.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/supervised_network.h"

namespace fuzzyart {

// What the work was doing when a denominator was zero: the messages of
// classification carry "(RC)".
enum class Work { kLearning, kClassification };

[[noreturn]] void failZeroSum(Outcome outcome, Work work);

// Makes the row a new category, or stops when the table is full.
void commitRow(CategoryTable& table, RowSearch& search, std::span<const float> input, Observer* observer);

// Row k of the search's rows (`input`) applied to the table with the
// learning rate beta. The search hears of every change. Inline: it runs for
// every row of every pass.
inline void learnRow(CategoryTable& table, RowSearch& search, const Decision& decision, size_t k,
                     std::span<const float> input, float beta, Observer* observer) {
  switch (decision.outcome) {
    case Outcome::kResonance:
      search.learn(table, decision.winner, k, beta);
      return;
    case Outcome::kNoCategory:
      commitRow(table, search, input, observer);
      return;
    case Outcome::kZeroInputSum:
    case Outcome::kZeroCategorySum:
      break;
  }
  failZeroSum(decision.outcome, Work::kLearning);
}

// The category that accepts the row, or -1.
int acceptedCategory(const Decision& decision);

// The categories' labels, and how a row's vigilance is raised after a
// category of another label won.
struct LabelledCategories {
  std::vector<int32_t> labels;  // one per category of the table
  MatchTracking tracking = MatchTracking::kPlus;
  double epsilon = 1e-10;
};

// Row k (`input`, labelled `label`) learnt by the supervised rule; true when
// it was a conflict (a copy of a category of its own label, which it leaves
// as it is). tried is scratch for the categories the row has met.
bool learnLabelledRow(CategoryTable& table, LabelledCategories& categories, RowSearch& search, size_t k,
                      std::span<const float> input, int32_t label, float beta, std::vector<int>& tried,
                      Observer* observer);

}  // namespace fuzzyart
