// The engine's kernel against a reference written here from the formulas:
// every sum in index order, rounded to single precision after each addition;
// the match quotient compared in double; the update in double, rounded once.
// Every kernel variant this build holds and this processor runs is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>
#include <vector>

#include "engine/category_table.h"
#include "engine/choice_kernel.h"
#include "engine/resonance.h"

namespace fuzzyart {
namespace {

using Weights = std::vector<std::vector<float>>;

std::unique_ptr<CategoryTable> fillTable(const Weights& w, float alpha) {
  auto table = std::make_unique<CategoryTable>(static_cast<int>(w.size()), static_cast<int>(w[0].size()), alpha);
  for (const auto& category : w) commitCategory(*table, category, nullptr);
  return table;
}

TEST(KernelTargets, EveryLaneMatchesTheIndexOrderSumsBitForBit) {
  std::cout << "[ kernel targets ]";
  for (const auto& target : choiceKernelTargets()) {
    std::cout << " " << target.name << (target.supported ? ": ran" : ": not on this processor");
  }
  std::cout << "\n";

  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const float alpha = 0.001f;
  ChoiceScratch scratch;
  for (int count : {1, 15, 16, 17, 63, 64, 65, 200, 1024, 1500}) {
    for (int length : {1, 2, 7, 16, 33, 256}) {
      Weights w(static_cast<size_t>(count), std::vector<float>(static_cast<size_t>(length)));
      for (auto& category : w) std::generate(category.begin(), category.end(), [&] { return unit(rng); });
      std::vector<float> input(static_cast<size_t>(length));
      std::generate(input.begin(), input.end(), [&] { return unit(rng); });
      // The reference: Alpha first, then every term in index order.
      std::vector<float> numerators, choices;
      for (const auto& category : w) {
        float s = 0.0f;
        float d = alpha;
        for (size_t i = 0; i < input.size(); ++i) {
          s = s + (input[i] < category[i] ? input[i] : category[i]);
          d = d + category[i];
        }
        numerators.push_back(s);
        choices.push_back(s / d);
      }
      const auto table = fillTable(w, alpha);
      scratch.ensure(count);
      for (const auto& target : choiceKernelTargets()) {
        if (!target.supported) continue;
        target.kernel(*table, input.data(), scratch);
        ASSERT_TRUE(std::memcmp(scratch.numerators, numerators.data(), count * sizeof(float)) == 0 &&
                    std::memcmp(scratch.choices, choices.data(), count * sizeof(float)) == 0)
            << target.name << ", " << count << " categories of " << length;
      }
    }
  }
}

// The single pass over the candidates, plain and in every variant's
// selection, equals the loop of tests and resets, also when most categories
// are reset and choices tie. A selection may read on to a multiple of 64;
// what lies there must not matter.
TEST(Search, OnePassEqualsTestAndResetLoop) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> level(0, 8);
  std::vector<SelectWinnerFn> selections = {nullptr};
  for (const auto& target : choiceKernelTargets()) {
    if (target.supported) selections.push_back(target.selectWinner);
  }
  for (int round = 0; round < 2000; ++round) {
    const size_t count = 1 + round % 40;
    std::vector<float> choices((count + 63) / 64 * 64, 1.0f);
    std::vector<float> numerators(choices.size(), 1.0f);
    for (size_t j = 0; j < count; ++j) {
      choices[j] = level(rng) / 8.0f - (round % 7 == 0 ? 0.25f : 0.0f);  // ties, and some negative values
      numerators[j] = level(rng) / 8.0f;
    }
    const float vigilance = level(rng) / 8.0f;
    const float inputSum = 1.0f + level(rng) / 64.0f;
    // The loop: the highest choice (the lower index of equal ones) is tested,
    // and reset when it fails the match in double; -1 when none is left.
    std::vector<float> left(choices.begin(), choices.begin() + count);
    int expected = -1;
    for (;;) {
      const auto best = std::max_element(left.begin(), left.end());
      if (*best < 0.0f) break;
      const auto j = best - left.begin();
      if (!(double{numerators[j]} / double{inputSum} < double{vigilance})) {
        expected = static_cast<int>(j);
        break;
      }
      *best = -1.0f;
    }
    for (SelectWinnerFn select : selections) {
      const SearchResult r = findResonance(std::span<const float>(choices.data(), count),
                                           std::span<const float>(numerators.data(), count), inputSum, vigilance,
                                           select);
      ASSERT_EQ(r.outcome == SearchOutcome::kResonance ? r.winner : -1, expected) << "round " << round;
    }
  }
}

TEST(Search, ThresholdIsTheSmallestPassingNumerator) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> sum(1e-3f, 100.0f);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < 10000; ++round) {
    const float inputSum = sum(rng);
    const float vigilance = round % 10 == 0 ? 1.0f : unit(rng);
    const float t = matchThreshold(inputSum, vigilance);
    ASSERT_TRUE(passesVigilance(t, inputSum, vigilance));
    ASSERT_FALSE(passesVigilance(std::nextafter(t, -1.0f), inputSum, vigilance));
  }
}

TEST(Search, ZeroInputSumStopsOnlyWhenACategoryIsTested) {
  const std::vector<float> numerators = {0.0f};
  EXPECT_EQ(findResonance(std::vector<float>{0.0f}, numerators, 0.0f, 0.5f).outcome, SearchOutcome::kZeroInputSum);
  EXPECT_EQ(findResonance(std::vector<float>{-0.5f}, numerators, 0.0f, 0.5f).outcome, SearchOutcome::kNoCategory);
}

TEST(Learning, UpdateIsComputedInDoubleAndRoundedOnce) {
  // Values where single-precision steps, or a fused multiply-add, round
  // differently from the double computation.
  const Weights w = {{0.0631249994f, 0.3f, 0.362968743f}};
  const auto table = fillTable(w, 0.0f);
  const std::vector<float> input = {0.0154687501f, 0.9f, 0.0154687501f};
  const float beta = 0.3f;
  const float keep = 1.0f - beta;
  learnInput(*table, 0, input, beta, keep);
  int differsFromSingle = 0;
  for (int i = 0; i < 3; ++i) {
    const float m = std::min(input[i], w[0][i]);
    const float exact = static_cast<float>(double{beta} * m + double{keep} * w[0][i]);
    EXPECT_EQ(std::bit_cast<uint32_t>(table->weight(0, i)), std::bit_cast<uint32_t>(exact)) << i;
    differsFromSingle += beta * m + keep * w[0][i] != exact && std::fma(beta, m, keep * w[0][i]) != exact;
  }
  EXPECT_GT(differsFromSingle, 0) << "the case no longer tells double from single arithmetic";
  EXPECT_EQ(table->denominator(0), (0.0f + table->weight(0, 0)) + table->weight(0, 1) + table->weight(0, 2));
}

}  // namespace
}  // namespace fuzzyart
