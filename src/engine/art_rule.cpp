#include "engine/art_rule.h"

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

void learnRow(CategoryTable& table, RowSearch& search, const Decision& decision, size_t k,
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
      failZeroSum(decision.outcome, Work::kLearning);
  }
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
