#include "engine/art_rule.h"

#include <algorithm>

#include "base/failure.h"

namespace fuzzyart {

void failZeroSum(Outcome outcome, Work work) {
  const bool category = outcome == Outcome::kZeroCategorySum;
  const char* label = work == Work::kLearning ? (category ? "Vicinityvector" : "Resonance")
                                              : (category ? "Vicinityvector(RC)" : "Resonance(RC)");
  fail(ErrorKind::kDivisionByZero, "Division by 0. Zero/Minvector. (%s) Can't continue.\n", label);
}

void commitRow(CategoryTable& table, RowSearch& search, std::span<const float> input, Observer* observer) {
  if (table.count() == table.capacity()) {
    fail(ErrorKind::kTooManyCategories, "Too many categories. Max:%d\n", table.capacity());
  }
  commitCategory(table, input, observer);
  search.changed(table.count() - 1);
}

namespace {

// The test a row's search goes on under after category `winner`, whose label
// is not the row's, won with the match m.
MatchTest raisedTest(const LabelledCategories& categories, double m) {
  switch (categories.tracking) {
    case MatchTracking::kPlus:
      return {m + categories.epsilon, false};
    case MatchTracking::kMinus:
      return {m - categories.epsilon, false};
    case MatchTracking::kZero:
      break;
  }
  return {m, true};
}

// Whether a category of the label holds exactly the row's weights.
bool holdsRow(const CategoryTable& table, const LabelledCategories& categories, int32_t label,
              std::span<const float> input) {
  for (int j = 0; j < table.count(); ++j) {
    if (categories.labels[static_cast<size_t>(j)] != label) continue;
    bool same = true;
    for (size_t i = 0; same && i < input.size(); ++i) same = table.weight(j, static_cast<int>(i)) == input[i];
    if (same) return true;
  }
  return false;
}

}  // namespace

bool learnLabelledRow(CategoryTable& table, LabelledCategories& categories, RowSearch& search, size_t k,
                      std::span<const float> input, int32_t label, float beta, std::vector<int>& tried,
                      Observer* observer) {
  Decision decision = search.decide(k);
  tried.clear();
  while (decision.outcome == Outcome::kResonance && categories.labels[static_cast<size_t>(decision.winner)] != label) {
    tried.push_back(decision.winner);
    const MatchTest raised = raisedTest(categories, search.match(k, decision.winner));
    if (raised.vigilance > 1.0) {
      decision = {Outcome::kNoCategory};
      break;
    }
    decision = search.decideAbove(k, raised, tried);
  }
  switch (decision.outcome) {
    case Outcome::kResonance:
      search.learn(table, decision.winner, k, beta);
      return false;
    case Outcome::kNoCategory:
      // Only a row that lost to a category of another label can be a
      // conflict: elsewhere a copy of a category is the rule's own doing
      // (a vigilance that no category can pass).
      if (!tried.empty() && holdsRow(table, categories, label, input)) return true;
      commitRow(table, search, input, observer);
      categories.labels.push_back(label);
      return false;
    case Outcome::kZeroInputSum:
    case Outcome::kZeroCategorySum:
      break;
  }
  failZeroSum(decision.outcome, Work::kLearning);
}

int acceptedCategory(const Decision& decision) {
  switch (decision.outcome) {
    case Outcome::kResonance:
      return decision.winner;
    case Outcome::kNoCategory:
      return -1;
    case Outcome::kZeroInputSum:
    case Outcome::kZeroCategorySum:
      break;
  }
  failZeroSum(decision.outcome, Work::kClassification);
}

}  // namespace fuzzyart
