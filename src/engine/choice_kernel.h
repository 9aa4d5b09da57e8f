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

#include <span>

#include "engine/category_table.h"
#include "engine/resonance.h"

namespace fuzzyart {

// Scratch of one row: room for every category (a multiple of 64), so that
// vector loops may run past the last category to a whole step.
struct ChoiceScratch {
  alignas(64) float numerators[CategoryTable::kCapacity];
  alignas(64) float choices[CategoryTable::kCapacity];
};

using ChoiceKernelFn = void (*)(const CategoryTable& table, const float* input, ChoiceScratch& out);

// A SelectWinnerFn (resonance.h) gives the winner of the search when the
// match test is a threshold on the numerator: the category with the highest
// choice value (the lowest index among equal ones) among those with a choice
// value of 0 or more and a numerator of at least the threshold; -1 for none.

// One compiled variant of the kernel and whether this processor can run it.
struct ChoiceKernelTarget {
  const char* name;
  ChoiceKernelFn kernel;
  SelectWinnerFn selectWinner;
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
