// The plain search: the definition read literally. Every choice value is
// summed from the weights for every row; the search starts at -10.0, takes
// the strictly greatest value (the lowest index among equal ones), sums the
// winner's match again for every test and resets a failing winner to -1.0,
// until a winner passes or no value of 0 or more is left. One thread.
#include <vector>

#include "engine/match_test.h"
#include "engine/row_search.h"

namespace fuzzyart {

namespace {

class PlainRowSearch final : public RowSearch {
 public:
  PlainRowSearch(const CategoryTable& table, const SearchOptions& options)
      : table_(table), test_(options.test), length_(static_cast<size_t>(table.length())) {}

  void setRows(const float* rows, size_t count) override {
    rows_ = rows;
    count_ = count;
  }

  Decision decide(size_t k) override { return search(k, test_, {}); }

  void decideEach(Decision* out) override {
    for (size_t k = 0; k < count_; ++k) out[k] = search(k, test_, {});
  }

  Decision decideAbove(size_t k, const MatchTest& test, std::span<const int> tried) override {
    return search(k, test, tried);
  }

  double match(size_t k, int j) const override {
    float numerator = 0.0f;
    float inputSum = table_.alpha();
    for (size_t i = 0; i < length_; ++i) {
      const float x = rows_[k * length_ + i];
      const float w = table_.weight(j, static_cast<int>(i));
      numerator += x < w ? x : w;
      inputSum += x;
    }
    return double{numerator} / double{inputSum};
  }

  void learn(CategoryTable& table, int j, size_t k, float beta) override {
    const double b = beta;
    const double keep = 1.0f - beta;
    float denominator = table.alpha();
    for (size_t i = 0; i < length_; ++i) {
      const float x = rows_[k * length_ + i];
      const float old = table.weight(j, static_cast<int>(i));
      const float m = x < old ? x : old;
      const float updated = static_cast<float>(b * m + keep * old);
      table.setWeight(j, static_cast<int>(i), updated);
      denominator += updated;
    }
    table.setDenominator(j, denominator);
  }

  void changed(int) override {}

 private:
  Decision search(size_t k, const MatchTest& test, std::span<const int> tried) {
    const float* input = rows_ + k * length_;
    choices_.resize(static_cast<size_t>(table_.count()));
    for (int j = 0; j < table_.count(); ++j) {
      float numerator = 0.0f;
      float denominator = table_.alpha();
      for (size_t i = 0; i < length_; ++i) {
        const float w = table_.weight(j, static_cast<int>(i));
        numerator += input[i] < w ? input[i] : w;
        denominator += w;
      }
      if (denominator == 0.0f) return {Outcome::kZeroCategorySum};
      choices_[static_cast<size_t>(j)] = numerator / denominator;
    }
    for (int j : tried) choices_[static_cast<size_t>(j)] = -1.0f;
    for (;;) {
      float best = -10.0f;
      int winner = -1;
      for (int j = 0; j < table_.count(); ++j) {
        if (choices_[static_cast<size_t>(j)] > best) {
          best = choices_[static_cast<size_t>(j)];
          winner = j;
        }
      }
      if (best < 0.0f) return {Outcome::kNoCategory};
      float numerator = 0.0f;
      float inputSum = table_.alpha();
      for (size_t i = 0; i < length_; ++i) {
        const float w = table_.weight(winner, static_cast<int>(i));
        numerator += input[i] < w ? input[i] : w;
        inputSum += input[i];
      }
      if (inputSum == 0.0f) return {Outcome::kZeroInputSum};
      if (!passesMatch(numerator, inputSum, test)) {
        choices_[static_cast<size_t>(winner)] = -1.0f;
        continue;
      }
      return {Outcome::kResonance, winner};
    }
  }

  const CategoryTable& table_;
  MatchTest test_;
  size_t length_;
  const float* rows_ = nullptr;
  size_t count_ = 0;
  std::vector<float> choices_;
};

}  // namespace

std::unique_ptr<RowSearch> makePlainRowSearch(const CategoryTable& table, const SearchOptions& options) {
  return std::make_unique<PlainRowSearch>(table, options);
}

}  // namespace fuzzyart
