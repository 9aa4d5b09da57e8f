// The match test as the searches apply it: on the match quotient in double,
// or, for a finite positive input sum, as a threshold on the numerator; and
// the search among stored choice values that both the plain definition and
// the rows with a zero or non-finite input sum use. Pure functions, no I/O.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/decision.h"

namespace fuzzyart {

// Alpha plus the sum of the input's values, summed in index order in single
// precision: the denominator of the match function.
float inputDenominator(float alpha, std::span<const float> input);

inline bool passesMatch(float numerator, float inputSum, const MatchTest& test) {
  const double match = double{numerator} / double{inputSum};
  return test.strict ? match > test.vigilance : !(match < test.vigilance);
}

// The smallest numerator that passes the test for a finite positive input
// sum: the quotient grows with the numerator, so the test is "numerator >=
// threshold", exactly. A vigilance that is not a number passes every
// category (-infinity) unless the test is strict; a test nothing can pass
// gives a threshold that is not a number, which no numerator reaches.
float matchThreshold(float inputSum, const MatchTest& test);

// matchThreshold for one test, remembered for recent input sums: rows of one
// table share few sums (complement coding makes each the input length within
// a few ulps), and the threshold costs a few divisions in a row. A sum's bits,
// hashed (neighbouring sums differ in their last bits only), pick its slot; a
// slot holds the last sum that came to it.
class MatchThresholds {
 public:
  explicit MatchThresholds(const MatchTest& test) : test_(test) {
    // Every slot starts with a bit pattern no caller passes (a negative
    // not-a-number), holding that pattern's own threshold.
    sums_.fill(kNoSum);
    thresholds_.fill(matchThreshold(std::bit_cast<float>(kNoSum), test));
  }
  float of(float inputSum) {
    const auto bits = std::bit_cast<uint32_t>(inputSum);
    const size_t slot = (bits * 0x9e3779b1u) >> (32 - kSlotBits);
    if (sums_[slot] != bits) {
      sums_[slot] = bits;
      thresholds_[slot] = matchThreshold(inputSum, test_);
    }
    return thresholds_[slot];
  }

 private:
  static constexpr int kSlotBits = 6;
  static constexpr size_t kSlots = size_t{1} << kSlotBits;
  static constexpr uint32_t kNoSum = 0xffffffffu;
  MatchTest test_;
  std::array<uint32_t, kSlots> sums_;
  std::array<float, kSlots> thresholds_;
};

// The categories compete in order of decreasing choice value, the lower index
// first on equal values; only choice values of 0 or more are tested (a reset
// category holds -1), and the first that passes the match test wins. Since
// the numerators and choice values are fixed for the row, this equals
// testing, resetting and searching again, without the repeated searches.
Decision findResonance(std::span<const float> choices, std::span<const float> numerators, float inputSum,
                       const MatchTest& test);

}  // namespace fuzzyart
