// The choice kernel: for one input vector, the choice numerators
// S_j = sum_i min(I_i, w_ji) and choice values S_j / (Alpha + |w_j|) of every
// category at once.
//
// Each category's sum runs in index order and is rounded to single precision
// after every addition, exactly as the plain definition; the speed comes from
// adding the terms of 16 categories per vector instruction (one lane each),
// never from splitting one sum across lanes. So every target gives the same
// bits. Pure computation: no I/O.
#pragma once

#include <algorithm>
#include <new>
#include <span>

#include "engine/category_table.h"

namespace fuzzyart {

// Scratch of one row: room for every category rounded up to a multiple of
// 64, so that vector loops may run past the last category to a whole step.
class ChoiceScratch {
 public:
  // Makes room for `count` categories; throws std::bad_alloc without memory.
  void ensure(int count) {
    const size_t room = std::max<size_t>(64, (static_cast<size_t>(count) + 63) / 64 * 64);
    if (room <= room_) return;
    numeratorStore_ = allocateAligned(room);
    choiceStore_ = allocateAligned(room);
    if (!numeratorStore_ || !choiceStore_) throw std::bad_alloc();
    numerators = numeratorStore_.get();
    choices = choiceStore_.get();
    room_ = room;
  }
  float* numerators = nullptr;
  float* choices = nullptr;
  // Floats of room in each array.
  size_t room() const { return room_; }

 private:
  size_t room_ = 0;
  AlignedFloats numeratorStore_;
  AlignedFloats choiceStore_;
};

using ChoiceKernelFn = void (*)(const CategoryTable& table, const float* input, ChoiceScratch& out);

// The winner of a search among some categories, or of none (choice -1,
// category -1).
struct Candidate {
  float choice = -1.0f;
  int category = -1;
};

// The winner of two searches, the second over higher indexes than the first:
// the higher choice value, the lower index on equal values.
inline Candidate laterIfBetter(Candidate earlier, Candidate later) {
  return later.choice > earlier.choice ? later : earlier;
}

// The search of the tiles firstTile to endTile - 1 when the match test is a
// threshold on the numerator: the category with the highest choice value (the
// lowest index among equal ones) among those with a choice value of 0 or more
// and a numerator of at least the threshold. Every denominator must be
// non-zero.
using SearchKernelFn = Candidate (*)(const CategoryTable& table, int firstTile, int endTile, const float* input,
                                     float threshold);

// The rows of one batch.
inline constexpr int kBatchRows = 4;

// The numerators of `rows` input vectors (1 to kBatchRows) for the tiles
// firstTile to endTile - 1 into out[r][category] (room for every lane of
// those tiles), each weight loaded once for all the rows.
using BatchKernelFn = void (*)(const CategoryTable& table, int firstTile, int endTile, const float* const* inputs,
                               int rows, float* const* out);

// The search's winner from stored numerators of categories 0 to count-1 and
// their denominators. Reads both arrays up to count rounded up to a multiple
// of kSelectStep (the values past count are ignored).
using SelectKernelFn = Candidate (*)(const float* numerators, const float* denominators, int count, float threshold);
inline constexpr int kSelectStep = 64;

// The learning rule for the winner (row_search.h): the winner's weights are rewritten as whole
// vectors of the search's width, so that the next row's search loads them
// straight from the stores instead of waiting for single floats to reach
// the cache.
using UpdateKernelFn = void (*)(CategoryTable& table, int winner, const float* input, float beta,
                                float oneMinusBeta);

// One compiled variant of the kernel and whether this processor can run it.
struct ChoiceKernelTarget {
  const char* name;
  ChoiceKernelFn kernel;
  SearchKernelFn search;
  BatchKernelFn numerators;
  SelectKernelFn select;
  UpdateKernelFn update;
  bool supported;
};

// Every variant the build holds, widest first.
std::span<const ChoiceKernelTarget> choiceKernelTargets();

// The widest variant this processor runs.
const ChoiceKernelTarget& activeChoiceKernel();

// Fills numerators and choices for categories 0 to count-1 (the lanes past
// count hold no meaning). Every category's denominator must be non-zero.
inline void computeChoices(const CategoryTable& table, const float* input, ChoiceScratch& out) {
  activeChoiceKernel().kernel(table, input, out);
}

}  // namespace fuzzyart
