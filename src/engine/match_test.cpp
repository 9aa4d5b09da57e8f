#include "engine/match_test.h"

#include <cmath>
#include <limits>

namespace fuzzyart {

float inputDenominator(float alpha, std::span<const float> input) {
  float sum = alpha;
  for (float x : input) sum += x;
  return sum;
}

float matchThreshold(float inputSum, const MatchTest& test) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  constexpr float kNothing = std::numeric_limits<float>::quiet_NaN();
  // A library caller may give a vigilance that is not a number; the steps
  // below would give a threshold that is not a number either.
  if (std::isnan(test.vigilance)) return test.strict ? kNothing : -kInfinity;
  auto passes = [&](float numerator) { return passesMatch(numerator, inputSum, test); };
  // vigilance * inputSum lies within an ulp or two of the boundary.
  float t = static_cast<float>(test.vigilance * double{inputSum});
  if (std::isnan(t)) return kNothing;
  if (passes(t)) {
    while (t > -kInfinity && passes(std::nextafter(t, -kInfinity))) t = std::nextafter(t, -kInfinity);
  } else {
    while (t < kInfinity && !passes(t)) t = std::nextafter(t, kInfinity);
  }
  // No finite numerator passes (a vigilance past what any row can match).
  if (t == kInfinity || !passes(t)) return kNothing;
  return t;
}

Decision findResonance(std::span<const float> choices, std::span<const float> numerators, float inputSum,
                       const MatchTest& test) {
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
  if (first < 0) return {Outcome::kNoCategory};
  if (inputSum == 0.0f) return {Outcome::kZeroInputSum};
  if (passesMatch(numerators[first], inputSum, test)) return {Outcome::kResonance, first};

  // The first choice was reset: the winner is the best of those that pass.
  int winner = -1;
  for (int j = 0; j < count; ++j) {
    float c = choices[j];
    if (j == first || !(c >= 0.0f) || (winner >= 0 && !(c > best))) continue;
    if (passesMatch(numerators[j], inputSum, test)) {
      winner = j;
      best = c;
    }
  }
  if (winner < 0) return {Outcome::kNoCategory};
  return {Outcome::kResonance, winner};
}

}  // namespace fuzzyart
