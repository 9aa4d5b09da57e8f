#include "engine/resonance.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/choice_kernel.h"
#include "engine/reference_kernel.h"

namespace fuzzyart {

float inputDenominator(float alpha, std::span<const float> input) {
  float sum = alpha;
  for (float x : input) sum += x;
  return sum;
}

namespace {

// The neighbouring floats of a finite non-negative value, by its bit pattern.
float nextUp(float x) {
  if (x == 0.0f) return std::numeric_limits<float>::denorm_min();
  return std::bit_cast<float>(std::bit_cast<uint32_t>(x) + 1);
}

float nextDown(float x) {
  if (x == 0.0f) return -std::numeric_limits<float>::denorm_min();
  return std::bit_cast<float>(std::bit_cast<uint32_t>(x) - 1);
}

}  // namespace

float matchThreshold(float inputSum, float vigilance) {
  // The match test passes every category against a vigilance that is not a
  // number (a library caller may give one); the steps below would give a
  // threshold that is not a number either, which no numerator reaches.
  if (std::isnan(vigilance)) return -std::numeric_limits<float>::infinity();
  auto passes = [&](float numerator) { return passesVigilance(numerator, inputSum, vigilance); };
  // vigilance * inputSum (both finite, not negative) lies within an ulp or
  // two of the boundary.
  float t = static_cast<float>(double{vigilance} * double{inputSum});
  if (passes(t)) {
    while (t > 0.0f && passes(nextDown(t))) t = nextDown(t);
  } else {
    do {
      t = nextUp(t);
    } while (!passes(t));
  }
  return t;
}

SearchResult findResonance(std::span<const float> choices, std::span<const float> numerators, float inputSum,
                           float vigilance) {
  const int count = static_cast<int>(choices.size());
  // The first category tested: the highest choice value of 0 or more (a
  // not-a-number value never competes).
  int first = -1;
  float best = 0.0f;
  for (int j = 0; j < count; ++j) {
    float c = choices[j];
    if (c >= 0.0f && (first < 0 || c > best)) {
      first = j;
      best = c;
    }
  }
  if (first < 0) return {SearchOutcome::kNoCategory};
  if (inputSum == 0.0f) return {SearchOutcome::kZeroInputSum};
  if (passesVigilance(numerators[first], inputSum, vigilance)) return {SearchOutcome::kResonance, first};

  // The first choice was reset: the winner is the best of those that pass.
  int winner = -1;
  for (int j = 0; j < count; ++j) {
    float c = choices[j];
    if (j == first || !(c >= 0.0f) || (winner >= 0 && !(c > best))) continue;
    if (passesVigilance(numerators[j], inputSum, vigilance)) {
      winner = j;
      best = c;
    }
  }
  if (winner < 0) return {SearchOutcome::kNoCategory};
  return {SearchOutcome::kResonance, winner};
}

#ifndef FUZZYART_PLAIN_ENGINE
SearchResult selectWinner(const float* numerators, const float* denominators, int count, float threshold) {
  const Candidate best = activeChoiceKernel().select(numerators, denominators, count, threshold);
  if (best.category < 0) return {SearchOutcome::kNoCategory};
  return {SearchOutcome::kResonance, best.category};
}
#endif

void learnInput(CategoryTable& table, int winner, std::span<const float> input, float beta, float oneMinusBeta) {
#ifndef FUZZYART_PLAIN_ENGINE
  activeChoiceKernel().update(table, winner, input.data(), beta, oneMinusBeta);
#else
  const double b = beta;
  const double keep = oneMinusBeta;
  constexpr size_t kStride = CategoryTable::kLanes;
  float* w = table.tileFor(winner) + winner % CategoryTable::kLanes;
  float denominator = table.alpha();
  for (size_t i = 0; i < input.size(); ++i) {
    const float old = w[i * kStride];
    const float m = input[i] < old ? input[i] : old;
    const float updated = static_cast<float>(b * m + keep * old);
    w[i * kStride] = updated;
    denominator += updated;
  }
  table.setDenominator(winner, denominator);
#endif
}

}  // namespace fuzzyart

namespace fuzzyart {

RowDecision classifyRow(const CategoryTable& table, std::span<const float> input, float vigilance,
                        ChoiceScratch& scratch, TileSearch* tiles) {
  RowDecision decision;
#ifdef FUZZYART_PLAIN_ENGINE
  (void)tiles;
  if (referenceChoices(table, input, scratch.choices) >= 0) {
    decision.zeroCategorySum = true;
    return decision;
  }
  decision.search = referenceSearch(table, input, vigilance, scratch.choices);
#else
  if (table.anyZeroDenominator()) {
    decision.zeroCategorySum = true;
    return decision;
  }
  const float inputSum = inputDenominator(table.alpha(), input);
  if (searchesByThreshold(table, inputSum)) {
    // The match test becomes a threshold on the numerator, which the kernel
    // applies while the sums are in its registers.
    return searchByThreshold(table, input.data(), matchThreshold(inputSum, vigilance), activeChoiceKernel().search,
                             tiles);
  }
  computeChoices(table, input.data(), scratch);
  const auto count = static_cast<size_t>(table.count());
  decision.search = findResonance(std::span<const float>(scratch.choices, count),
                                  std::span<const float>(scratch.numerators, count), inputSum, vigilance);
#endif
  return decision;
}

}  // namespace fuzzyart
