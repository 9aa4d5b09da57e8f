#include "engine/reference_kernel.h"

namespace fuzzyart {

int referenceChoices(const CategoryTable& table, std::span<const float> input, float* choices) {
  for (int j = 0; j < table.count(); ++j) {
    float numerator = 0.0f;
    float denominator = table.alpha();
    for (size_t i = 0; i < input.size(); ++i) {
      float w = table.weight(j, static_cast<int>(i));
      numerator += input[i] < w ? input[i] : w;
      denominator += w;
    }
    if (denominator == 0.0f) return j;
    choices[j] = numerator / denominator;
  }
  return -1;
}

SearchResult referenceSearch(const CategoryTable& table, std::span<const float> input, float vigilance,
                             float* choices) {
  for (;;) {
    float best = -10.0f;
    int winner = -1;
    for (int j = 0; j < table.count(); ++j) {
      if (choices[j] > best) {
        best = choices[j];
        winner = j;
      }
    }
    if (best < 0.0f) return {SearchOutcome::kNoCategory};
    float numerator = 0.0f;
    float inputSum = table.alpha();
    for (size_t i = 0; i < input.size(); ++i) {
      float w = table.weight(winner, static_cast<int>(i));
      numerator += input[i] < w ? input[i] : w;
      inputSum += input[i];
    }
    if (inputSum == 0.0f) return {SearchOutcome::kZeroInputSum};
    if (!passesVigilance(numerator, inputSum, vigilance)) {
      choices[winner] = -1.0f;
      continue;
    }
    return {SearchOutcome::kResonance, winner};
  }
}

}  // namespace fuzzyart
