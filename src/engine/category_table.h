// The categories of the data file being worked on: up to 1024 weight vectors
// of `length` floats, with each category's committed flag, choice value and
// row count.
//
// Weights are stored in tiles of 16 categories with the category index
// innermost (tile t, weight i, lane l at tile[t][i * 16 + l]), so that the
// choice kernel adds the terms of 16 categories in one vector instruction,
// each lane in its own category's index order. Everything outside the engine
// reads and writes them one category at a time through weight()/setWeight().
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "run/switches.h"

namespace fuzzyart {

class CategoryTable {
 public:
  static constexpr int kCapacity = kMaxCategories;
#ifdef FUZZYART_PLAIN_ENGINE
  // The plain build keeps each category's weights contiguous, as a loop over
  // one category at a time wants them.
  static constexpr int kLanes = 1;
#else
  static constexpr int kLanes = 16;
#endif
  static constexpr int kTiles = kCapacity / kLanes;

  CategoryTable();

  int count() const { return count_; }
  int length() const { return length_; }
  // Tiles that hold at least one category.
  int tileCount() const { return (count_ + kLanes - 1) / kLanes; }
  const float* tile(int t) const { return tiles_[t].get(); }

  float weight(int j, int i) const { return tiles_[j / kLanes][static_cast<size_t>(i) * kLanes + j % kLanes]; }
  void setWeight(int j, int i, float value) {
    tiles_[j / kLanes][static_cast<size_t>(i) * kLanes + j % kLanes] = value;
  }
  // Copies category j's weights out, in index order.
  void copyWeights(int j, std::span<float> out) const;

  // Alpha plus the sum of category j's weights, summed in index order in
  // single precision; kept up to date by refreshDenominator.
  float denominator(int j) const { return denominators_[j]; }
  const float* denominators() const { return denominators_.data(); }
  void refreshDenominator(int j);
  // True when some category's denominator is zero (positive or negative).
  bool anyZeroDenominator() const { return zeroDenominators_ > 0; }
  float alpha() const { return alpha_; }

  // Reserves zero-filled weights for category `index` (the next free one);
  // false when the memory cannot be had.
  bool reserveWeights(int index, int length);
  // Makes the reserved index a category in use.
  void markCommitted(int index);

  bool committed(int j) const { return committed_[j] != 0; }
  int64_t& counts(int j) { return counts_[j]; }
  int64_t counts(int j) const { return counts_[j]; }

  // The start of each data file: no category in use.
  void resetForFile();
  // The start of the engine phase: flags and counts cleared; alpha is the run's
  // choice parameter.
  void resetForEngine(float alpha);
  // Releases every weight vector and empties the table.
  void releaseCategories();

 private:
  struct AlignedDelete {
    void operator()(float* p) const;
  };
  std::array<std::unique_ptr<float[], AlignedDelete>, kTiles> tiles_;
  std::array<float, kCapacity> denominators_{};
  std::array<uint8_t, kCapacity> committed_{};
  std::array<int64_t, kCapacity> counts_{};
  int count_ = 0;
  int reserved_ = 0;  // categories whose weights are reserved
  int length_ = 0;
  float alpha_ = 0.0f;
  int zeroDenominators_ = 0;
};

// Reserves category `index`'s weights with the console reports: at debug level
// 2 "\n%d bytes memory reserved.\n"; on failure the attempted size and the
// PANIC "Not enough memory for category: %d\n" (index counted from 1).
void reserveCategory(CategoryTable& table, int index, int length, int debugLevel);

// Reserves a named zero-filled working vector, with the same reports; the
// failure PANIC is "Not enough memory for %svector.\n".
void reserveVector(std::vector<float>& slot, int length, const char* name, int debugLevel);

// Makes index count() a new category equal to the input vector (fast commit).
void commitCategory(CategoryTable& table, std::span<const float> input, int debugLevel);

// Test seam: the next `successes` reservations succeed and the one after
// fails; a negative value turns failures off (the default).
void setReservationFailure(long successes);
// Consumes one reservation; false when the seam makes it fail.
bool reservationAllowed();

}  // namespace fuzzyart
