// The categories of a network: weight vectors of `length` floats, each with
// the denominator of its choice value kept up to date.
//
// Weights are stored in tiles of 16 categories with the category index
// innermost (tile t, weight i, lane l at tile[t][i * 16 + l]), so that the
// choice kernel adds the terms of 16 categories in one vector instruction,
// each lane in its own category's index order. Everything outside the engine
// reads and writes them one category at a time through weight()/setWeight().
// Tiles are reserved as categories come, up to the table's capacity.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "fuzzyart/observer.h"

#ifndef FUZZYART_TILE_LANES
#define FUZZYART_TILE_LANES 16
#endif

namespace fuzzyart {

// Floats on a 64-byte boundary, as the widest vector loads want them.
struct AlignedFree {
  void operator()(float* p) const;
};
using AlignedFloats = std::unique_ptr<float[], AlignedFree>;
// Zero-filled room for `count` floats; null when the memory cannot be had.
AlignedFloats allocateAligned(size_t count);

class CategoryTable {
 public:
  // Categories per tile. The plain build sets 1 (FUZZYART_TILE_LANES), so
  // that each category's weights lie contiguous, as its loop over one
  // category at a time wants them.
  static constexpr int kLanes = FUZZYART_TILE_LANES;

  CategoryTable(int capacity, int length, float alpha);
  CategoryTable(const CategoryTable& other);
  CategoryTable& operator=(const CategoryTable& other);

  int capacity() const { return capacity_; }
  int count() const { return count_; }
  int length() const { return length_; }
  float alpha() const { return alpha_; }
  // Tiles that hold at least one category.
  int tileCount() const { return (count_ + kLanes - 1) / kLanes; }
  const float* tile(int t) const { return tiles_[static_cast<size_t>(t)].get(); }
  // The tile that holds category j (its weight i at [i * kLanes + j % kLanes]).
  float* tileFor(int j) { return tiles_[static_cast<size_t>(j / kLanes)].get(); }

  float weight(int j, int i) const { return tiles_[j / kLanes][static_cast<size_t>(i) * kLanes + j % kLanes]; }
  void setWeight(int j, int i, float value) {
    tiles_[j / kLanes][static_cast<size_t>(i) * kLanes + j % kLanes] = value;
  }
  // Copies category j's weights out, in index order.
  void copyWeights(int j, std::span<float> out) const;

  // Alpha plus the sum of category j's weights, summed in index order in
  // single precision. The array has room for every lane of every tile,
  // rounded up to a multiple of 64 categories; past the last category it
  // holds a value that is not a number.
  float denominator(int j) const { return denominators_[static_cast<size_t>(j)]; }
  const float* denominators() const { return denominators_.data(); }
  void refreshDenominator(int j);
  // Sets category j's denominator to a sum made as refreshDenominator makes it.
  void setDenominator(int j, float sum) {
    denominators_[static_cast<size_t>(j)] = sum;
    noteDenominator(j, sum);
  }
  // setDenominator for a caller that has put the sum into
  // denominatorStore()[j] itself (the learning update stores whole vectors,
  // which the next search loads straight from the store).
  float* denominatorStore() { return denominators_.data(); }
  void noteDenominator(int j, float sum) {
    const uint8_t kind = (sum == 0.0f ? kZero : 0) | (sum < 0.0f ? kNegative : 0);
    const uint8_t was = kinds_[static_cast<size_t>(j)];
    zeroDenominators_ += int{(kind & kZero) != 0} - int{(was & kZero) != 0};
    negativeDenominators_ += int{(kind & kNegative) != 0} - int{(was & kNegative) != 0};
    kinds_[static_cast<size_t>(j)] = kind;
  }
  // True when some category's denominator is zero (positive or negative).
  bool anyZeroDenominator() const { return zeroDenominators_ > 0; }
  // True when no choice value can pass 1: Alpha is 0 or more and no
  // denominator is negative. Each numerator's terms are then at most its
  // denominator's and summed in the same order from a start no higher, so
  // (rounding being monotonic) no numerator passes its denominator.
  bool choicesAtMostOne() const { return alpha_ >= 0.0f && negativeDenominators_ == 0; }

  // Reserves zero-filled weights for category count() (the next free one);
  // false when the memory cannot be had or the table is full.
  bool reserveNext();
  // Makes the reserved category count() one in use.
  void commitNext();

 private:
  int capacity_;
  int length_;
  float alpha_;
  int count_ = 0;
  std::vector<AlignedFloats> tiles_;
  std::vector<float> denominators_;
  // Per category: whether its denominator is zero, negative.
  static constexpr uint8_t kZero = 1, kNegative = 2;
  std::vector<uint8_t> kinds_;
  int zeroDenominators_ = 0;
  int negativeDenominators_ = 0;
};

// Makes index count() a new category with the given weights (for learning,
// a copy of the input: fast commit), with the report of its reservation; a
// failed reservation stops with "Not enough memory for category: %d"
// (counted from 1).
void commitCategory(CategoryTable& table, std::span<const float> weights, Observer* observer);

}  // namespace fuzzyart
