// The search for the resonating category, the match test and the learning
// rule: plain functions over the category table, with no I/O. The pass loops
// turn their outcomes into messages.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/category_table.h"

namespace fuzzyart {

// Alpha plus the sum of the input's values, summed in index order in single
// precision: the denominator of the match function.
float inputDenominator(float alpha, std::span<const float> input);

// The match test: |I ^ w_J| / (Alpha + |I|), in double precision without
// rounding to single first, must not be below the vigilance.
inline bool passesVigilance(float numerator, float inputSum, float vigilance) {
  return !(double{numerator} / double{inputSum} < double{vigilance});
}

enum class SearchOutcome {
  kResonance,     // winner holds the category that passed
  kNoCategory,    // every category was reset (or none can compete)
  kZeroInputSum,  // a category was to be tested but Alpha + |I| is zero
};

struct SearchResult {
  SearchOutcome outcome;
  int winner = -1;
};

// The smallest numerator that passes the match test for a finite positive
// input sum: the quotient grows with the numerator, so the test is
// "numerator >= threshold", exactly.
float matchThreshold(float inputSum, float vigilance);

// matchThreshold for one vigilance, remembered for recent input sums: rows
// of one table share few sums (complement coding makes each the input length
// within a few ulps), and the threshold costs a few divisions in a row. A
// sum's bits, hashed (neighbouring sums differ in their last bits only),
// pick its slot; a slot holds the last sum that came to it.
class MatchThresholds {
 public:
  explicit MatchThresholds(float vigilance) : vigilance_(vigilance) {
    // Every slot starts with a bit pattern no caller passes (a negative
    // not-a-number), holding that pattern's own threshold.
    sums_.fill(kNoSum);
    thresholds_.fill(matchThreshold(std::bit_cast<float>(kNoSum), vigilance));
  }
  float of(float inputSum) {
    const auto bits = std::bit_cast<uint32_t>(inputSum);
    const size_t slot = (bits * 0x9e3779b1u) >> (32 - kSlotBits);
    if (sums_[slot] != bits) {
      sums_[slot] = bits;
      thresholds_[slot] = matchThreshold(inputSum, vigilance_);
    }
    return thresholds_[slot];
  }

 private:
  static constexpr int kSlotBits = 6;
  static constexpr size_t kSlots = size_t{1} << kSlotBits;
  static constexpr uint32_t kNoSum = 0xffffffffu;
  float vigilance_;
  std::array<uint32_t, kSlots> sums_;
  std::array<float, kSlots> thresholds_;
};

// The categories compete in order of decreasing choice value, the lower index
// first on equal values; only choice values of 0 or more are tested, and the
// first that passes the match test wins. Since the numerators and choice
// values are fixed for the row, this equals testing, resetting and searching
// again, without the repeated searches.
SearchResult findResonance(std::span<const float> choices, std::span<const float> numerators, float inputSum,
                           float vigilance);

// The winner among categories 0 to count-1 from their numerators, when the
// match test is the threshold: the highest choice value (numerator over
// denominator) of 0 or more among those whose numerator reaches the
// threshold, the lowest index on equal values. Both arrays are read up to
// count rounded up to a multiple of 64.
SearchResult selectWinner(const float* numerators, const float* denominators, int count, float threshold);

// Whether a table's weights are past a core's first-level cache (64 KiB
// and more), where rows are best taken in batches (choice_kernel.h's
// BatchKernelFn): the loads of the weights, not the arithmetic, then set the
// pace of a row at a time. Measured: tables in the first-level cache are
// slower in batches, whose selection and summing again cost more there.
inline constexpr int64_t kBatchFloats = int64_t{1} << 14;
inline bool worthBatching(const CategoryTable& table, int64_t batchFloats) {
  return table.count() > 0 && int64_t{table.count()} * table.length() >= batchFloats;
}

// The learning rule for category J: w = Beta * min(I, w) + (1 - Beta) * w,
// computed in double precision from single-precision operands and rounded
// once; J's denominator is summed anew from the new weights on the way.
void learnInput(CategoryTable& table, int winner, std::span<const float> input, float beta, float oneMinusBeta);

class ChoiceScratch;
struct Candidate;

// What one row meets: a category with a zero denominator (which stops the
// run), or the outcome of the search.
struct RowDecision {
  bool zeroCategorySum = false;
  SearchResult search{SearchOutcome::kNoCategory};
};

// Searches the tiles of a table for one input against a match threshold
// (choice_kernel.h's SearchKernelFn over every tile, on one thread or more).
class TileSearch {
 public:
  virtual Candidate search(const CategoryTable& table, const float* input, float threshold) = 0;

 protected:
  ~TileSearch() = default;
};

// Whether classifyRow searches a row by the match threshold (choice_kernel.h's
// searchByThreshold): its input sum is finite and above 0 and no category
// has a zero denominator.
inline bool searchesByThreshold(const CategoryTable& table, float inputSum) {
  return !table.anyZeroDenominator() && std::isfinite(inputSum) && inputSum > 0.0f;
}

// Choice values of every category for the input, then the search; the tiles
// are searched by `tiles` when given, else by the kernel on this thread.
// Reads the table only.
RowDecision classifyRow(const CategoryTable& table, std::span<const float> input, float vigilance,
                        ChoiceScratch& scratch, TileSearch* tiles = nullptr);

}  // namespace fuzzyart
