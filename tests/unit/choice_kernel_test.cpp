// The engine's kernel against a reference written here from the formulas:
// every sum in index order, rounded to single precision after each addition;
// the match quotient compared in double; the update in double, rounded once.
// Every kernel variant this build holds and this processor runs is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>
#include <span>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/category_table.h"
#include "engine/choice_kernel.h"
#include "base/chunk_team.h"
#include "engine/match_test.h"

namespace fuzzyart {
namespace {

using Weights = std::vector<std::vector<float>>;

// The reference: Alpha first, then every term in index order.
void referenceChoice(const Weights& w, const std::vector<float>& input, float alpha, std::vector<float>& numerators,
                     std::vector<float>& choices) {
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
}

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
      for (size_t j = 0; j < w.size(); ++j) {
        std::generate(w[j].begin(), w[j].end(), [&] { return unit(rng); });
        if (j % 7 == 3) w[j] = w[j / 2];  // equal choice values, within a tile and across tiles
      }
      std::vector<float> input(static_cast<size_t>(length));
      std::generate(input.begin(), input.end(), [&] { return unit(rng); });
      if (length >= 7) input[0] = -input[0];  // negative choice values, which never win
      std::vector<float> numerators, choices, second, unused;
      referenceChoice(w, input, alpha, numerators, choices);
      referenceChoice(w, w[0], alpha, second, unused);
      const auto table = fillTable(w, alpha);
      scratch.ensure(count);
      for (const auto& target : choiceKernelTargets()) {
        if (!target.supported) continue;
        SCOPED_TRACE(std::string(target.name) + ", " + std::to_string(count) + " categories of " +
                     std::to_string(length));
        target.kernel(*table, input.data(), scratch);
        ASSERT_TRUE(std::memcmp(scratch.numerators, numerators.data(), count * sizeof(float)) == 0 &&
                    std::memcmp(scratch.choices, choices.data(), count * sizeof(float)) == 0);
        // A batch of two rows (the input and category 0's weights) at once.
        std::vector<float> batch[2] = {std::vector<float>(scratch.room()), std::vector<float>(scratch.room())};
        const float* inputs[2] = {input.data(), w[0].data()};
        float* out[2] = {batch[0].data(), batch[1].data()};
        target.numerators(*table, 0, table->tileCount(), inputs, 2, out);
        ASSERT_TRUE(std::memcmp(batch[0].data(), numerators.data(), count * sizeof(float)) == 0 &&
                    std::memcmp(batch[1].data(), second.data(), count * sizeof(float)) == 0);
        // The search with the threshold applied in the kernel, over all tiles
        // and over the second half only, and the selection from stored
        // numerators pick what the scalar search picks.
        for (float vigilance : {0.0f, 0.4f, 0.7f, 0.95f, std::nanf("")}) {
          const float inputSum = inputDenominator(alpha, input);
          const float threshold = matchThreshold(inputSum, MatchTest{vigilance});
          const int half = table->tileCount() / 2;
          const Candidate all = target.search(*table, 0, table->tileCount(), input.data(), threshold);
          const Candidate upper = target.search(*table, half, table->tileCount(), input.data(), threshold);
          ASSERT_EQ(target.select(batch[0].data(), table->denominators(), count, threshold).category, all.category);
          const size_t from = static_cast<size_t>(half) * CategoryTable::kLanes;
          for (auto [found, first] : {std::pair{all, size_t{0}}, std::pair{upper, from}}) {
            const Decision r = findResonance(std::span(choices).subspan(first), std::span(numerators).subspan(first),
                                             inputSum, MatchTest{vigilance});
            ASSERT_EQ(found.category, r.outcome == Outcome::kResonance ? int(first) + r.winner : -1)
                << "vigilance " << vigilance;
          }
        }
      }
    }
  }
}

// The single pass over the candidates equals the loop of tests and resets,
// also when most categories are reset and choices tie.
TEST(Search, OnePassEqualsTestAndResetLoop) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> level(0, 8);
  for (int round = 0; round < 2000; ++round) {
    const size_t count = 1 + round % 40;
    std::vector<float> choices(count), numerators(count);
    for (size_t j = 0; j < count; ++j) {
      choices[j] = level(rng) / 8.0f - (round % 7 == 0 ? 0.25f : 0.0f);  // ties, and some negative values
      numerators[j] = level(rng) / 8.0f;
    }
    const float vigilance = level(rng) / 8.0f;
    const float inputSum = 1.0f + level(rng) / 64.0f;
    // The loop: the highest choice (the lower index of equal ones) is tested,
    // and reset when it fails the match in double; -1 when none is left.
    std::vector<float> left = choices;
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
    const Decision r = findResonance(choices, numerators, inputSum, MatchTest{vigilance});
    ASSERT_EQ(r.outcome == Outcome::kResonance ? r.winner : -1, expected) << "round " << round;
  }
}

TEST(Search, ThresholdIsTheSmallestPassingNumerator) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> sum(1e-3f, 100.0f);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < 10000; ++round) {
    const float inputSum = sum(rng);
    const float vigilance = round % 10 == 0 ? 1.0f : unit(rng);
    for (bool strict : {false, true}) {
      const MatchTest test{vigilance, strict};
      const float t = matchThreshold(inputSum, test);
      ASSERT_TRUE(passesMatch(t, inputSum, test));
      ASSERT_FALSE(passesMatch(std::nextafter(t, -1.0f), inputSum, test));
    }
  }
  // A vigilance that is not a number passes every category, as the test
  // says; a strict one none.
  EXPECT_EQ(matchThreshold(1.0f, MatchTest{std::nan("")}), -INFINITY);
  EXPECT_TRUE(std::isnan(matchThreshold(1.0f, MatchTest{std::nan(""), true})));
  // Raised below 0 (a lowered test), every numerator of 0 and some below
  // pass; raised past what any numerator reaches, none.
  EXPECT_EQ(matchThreshold(2.0f, MatchTest{-0.25}), -0.5f);
  EXPECT_TRUE(std::isnan(matchThreshold(2.0f, MatchTest{1e300})));
}

TEST(Search, ZeroInputSumStopsOnlyWhenACategoryIsTested) {
  const std::vector<float> numerators = {0.0f};
  EXPECT_EQ(findResonance(std::vector<float>{0.0f}, numerators, 0.0f, MatchTest{0.5}).outcome, Outcome::kZeroInputSum);
  EXPECT_EQ(findResonance(std::vector<float>{-0.5f}, numerators, 0.0f, MatchTest{0.5}).outcome, Outcome::kNoCategory);
}

// A category whose weights lie within the input reaches the choice value 1
// when Alpha is 0, and no category passes 1 while every denominator is
// positive: the search may end there. Its winner is the full search's in
// every target: the first such category that passes the match (the one
// before it is too small to, unless every category passes), and where a
// negative denominator lets a later category pass 1 (with every category
// passing the match), that one.
TEST(Search, ReachingOneEndsTheSearchWithTheFullSearchsWinner) {
  std::mt19937 rng(13);
  std::uniform_real_distribution<float> unit(0.1f, 1.0f);
  for (int count : {40, 200, 1500}) {
    for (int length : {2, 8, 33}) {
      for (bool negative : {false, true}) {
        std::vector<float> input(static_cast<size_t>(length));
        std::generate(input.begin(), input.end(), [&] { return unit(rng); });
        if (negative) input[0] = -1.0f;
        Weights w(static_cast<size_t>(count), std::vector<float>(static_cast<size_t>(length)));
        for (auto& category : w) {
          for (int i = 0; i < length; ++i) category[i] = std::max(input[i], 0.0f) + unit(rng);  // choice below 1
        }
        const auto within = [&](int j, float scale) {
          for (int i = 0; i < length; ++i) w[j][i] = input[i] * scale;
        };
        within(count / 3, 1.0f);
        if (!negative) {
          within(count / 10, 0.05f);
          within(count / 3 + 17, 0.9f);  // reaches 1 as well: the lower index wins
        } else {
          // Numerator -0.9 over denominator -0.4.
          w[count - 1].assign(static_cast<size_t>(length), 0.1f / static_cast<float>(length - 1));
          w[count - 1][0] = -0.5f;
        }
        const float alpha = 0.0f;
        std::vector<float> numerators, choices;
        referenceChoice(w, input, alpha, numerators, choices);
        const auto table = fillTable(w, alpha);
        const float inputSum = inputDenominator(alpha, input);
        for (float vigilance : {0.5f, std::nanf("")}) {
          const float threshold = negative ? -INFINITY : matchThreshold(inputSum, MatchTest{vigilance});
          const Decision r = findResonance(choices, numerators, inputSum, MatchTest{negative ? std::nanf("") : vigilance});
          ASSERT_EQ(r.outcome, Outcome::kResonance);
          const bool all = negative || std::isnan(vigilance);  // the small one passes too
          ASSERT_EQ(r.winner, negative ? count - 1 : all ? count / 10 : count / 3) << count << " of " << length;
          for (const auto& target : choiceKernelTargets()) {
            if (!target.supported) continue;
            const Candidate found = target.search(*table, 0, table->tileCount(), input.data(), threshold);
            ASSERT_EQ(found.category, r.winner) << target.name << ", " << count << " of " << length;
            ASSERT_EQ(std::bit_cast<uint32_t>(found.choice), std::bit_cast<uint32_t>(choices[r.winner]));
          }
        }
      }
    }
  }
}

TEST(ChunkTeam, ChunksComeInOrderAndAHelpersFailureIsTheCallers) {
  // Many blocks of uneven length on three threads: every row of every
  // chunk taken is done for the block it belongs to. A chunk whose work
  // throws on a helper is done again by the caller; one that throws
  // anywhere throws from its own take(), and the team still ends.
  std::vector<int> out(1000);
  int block = 0;
  int throwAt = -1;
  auto work = [&](size_t first, size_t last, int worker) {
    if (static_cast<int>(first) == 128 && worker != 0) throw std::runtime_error("helper only");
    if (static_cast<int>(first) == throwAt) throw std::runtime_error("everywhere");
    // Long enough for the helpers to get chunks of their own.
    std::this_thread::sleep_for(std::chrono::microseconds(20));
    for (size_t k = first; k < last; ++k) out[k] = block * 10000 + static_cast<int>(k);
  };
  ChunkTeam team(3, out.size(), 64, work);
  for (block = 1; block <= 100; ++block) {
    const size_t rows = 1 + static_cast<size_t>(block * 37) % out.size();
    team.start(rows);
    ASSERT_EQ(team.chunks(), (rows + 63) / 64);
    for (size_t c = 0; c < team.chunks(); ++c) {
      team.take(c);
      for (size_t k = c * 64; k < std::min(rows, c * 64 + 64); ++k) ASSERT_EQ(out[k], block * 10000 + int(k));
    }
  }
  throwAt = 192;
  team.start(out.size());
  for (size_t c = 0; c < 3; ++c) team.take(c);
  EXPECT_THROW(team.take(3), std::runtime_error);
}

TEST(Learning, UpdateIsComputedInDoubleAndRoundedOnce) {
  // Values where single-precision steps, or a fused multiply-add, round
  // differently from the double computation; category 21 (a lane of the
  // second tile) learns, in every target, and no other category changes.
  const Weights w(30, {0.0631249994f, 0.3f, 0.362968743f});
  const std::vector<float> input = {0.0154687501f, 0.9f, 0.0154687501f};
  const float beta = 0.3f;
  const float keep = 1.0f - beta;
  for (const auto& target : choiceKernelTargets()) {
    if (!target.supported) continue;
    const auto table = fillTable(w, 0.0f);
    target.update(*table, 21, input.data(), beta, keep);
    int differsFromSingle = 0;
    for (int i = 0; i < 3; ++i) {
      const float m = std::min(input[i], w[0][i]);
      const float exact = static_cast<float>(double{beta} * m + double{keep} * w[0][i]);
      EXPECT_EQ(std::bit_cast<uint32_t>(table->weight(21, i)), std::bit_cast<uint32_t>(exact)) << target.name << i;
      EXPECT_EQ(table->weight(20, i), w[0][i]);
      EXPECT_EQ(table->weight(22, i), w[0][i]);
      differsFromSingle += beta * m + keep * w[0][i] != exact && std::fma(beta, m, keep * w[0][i]) != exact;
    }
    EXPECT_GT(differsFromSingle, 0) << "the case no longer tells double from single arithmetic";
    EXPECT_EQ(table->denominator(21), (0.0f + table->weight(21, 0)) + table->weight(21, 1) + table->weight(21, 2));
    EXPECT_EQ(table->denominator(20), table->denominator(22));
  }
}

}  // namespace
}  // namespace fuzzyart
