// The engine's kernel against a reference written here from the formulas:
// every sum in index order, rounded to single precision after each addition;
// the match quotient compared in double; the update in double, rounded once.
// Every kernel variant this build holds and this processor runs is checked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>
#include <span>
#include <vector>

#include "engine/category_table.h"
#include "engine/choice_kernel.h"
#include "engine/classification.h"
#include "engine/learning.h"
#include "engine/resonance.h"

namespace fuzzyart {
namespace {

using Weights = std::vector<std::vector<float>>;

struct ReferenceChoice {
  std::vector<float> numerators;
  std::vector<float> choices;
};

ReferenceChoice referenceChoice(const Weights& w, const std::vector<float>& input, float alpha) {
  ReferenceChoice r;
  for (const auto& category : w) {
    float s = 0.0f;
    float d = alpha;
    for (size_t i = 0; i < input.size(); ++i) {
      float m = input[i] < category[i] ? input[i] : category[i];
      s = s + m;
      d = d + category[i];
    }
    r.numerators.push_back(s);
    r.choices.push_back(s / d);
  }
  return r;
}

// The search as a loop of tests and resets: the winner, or -1 when every
// category is reset.
int referenceWinner(std::vector<float> choices, const std::vector<float>& numerators, float inputSum,
                    float vigilance) {
  for (;;) {
    float best = -10.0f;
    int j = -1;
    for (size_t k = 0; k < choices.size(); ++k) {
      if (choices[k] > best) {
        best = choices[k];
        j = static_cast<int>(k);
      }
    }
    if (best < 0.0f) return -1;
    if (static_cast<double>(numerators[j]) / static_cast<double>(inputSum) < static_cast<double>(vigilance)) {
      choices[j] = -1.0f;
      continue;
    }
    return j;
  }
}

std::unique_ptr<CategoryTable> fillTable(const Weights& w, float alpha) {
  auto table = std::make_unique<CategoryTable>(static_cast<int>(w.size()), static_cast<int>(w[0].size()), alpha);
  for (const auto& category : w) commitCategory(*table, category, nullptr);
  return table;
}

uint32_t bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

class KernelTargets : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string report;
    for (const auto& target : choiceKernelTargets()) {
      report += std::string(" ") + target.name + (target.supported ? ": ran" : ": not on this processor");
    }
    std::cout << "[ kernel targets ]" << report << "\n";
    ::testing::Test::RecordProperty("kernel_targets", report);
  }

  // Runs the check against every variant this processor can run.
  template <typename Check>
  void forEachTarget(Check check) {
    for (const auto& target : choiceKernelTargets()) {
      if (!target.supported) continue;
      SCOPED_TRACE(target.name);
      check(target);
    }
  }

  std::unique_ptr<CategoryTable> table;
  std::unique_ptr<ChoiceScratch> scratch = std::make_unique<ChoiceScratch>();
};

TEST_F(KernelTargets, EveryLaneMatchesTheIndexOrderSumsBitForBit) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int count : {1, 15, 16, 17, 63, 64, 65, 200, 1024, 1500}) {
    for (int length : {1, 2, 7, 16, 33, 256}) {
      Weights w(static_cast<size_t>(count), std::vector<float>(static_cast<size_t>(length)));
      for (size_t j = 0; j < w.size(); ++j) {
        for (auto& v : w[j]) v = unit(rng);
        if (j % 7 == 3) w[j] = w[j / 2];  // equal choice values, within a tile and across tiles
      }
      std::vector<float> input(static_cast<size_t>(length));
      for (auto& v : input) v = unit(rng);
      table = fillTable(w, 0.001f);
      scratch->ensure(count);
      ReferenceChoice expected = referenceChoice(w, input, 0.001f);
      forEachTarget([&](const ChoiceKernelTarget& target) {
        target.kernel(*table, input.data(), *scratch);
        for (int j = 0; j < count; ++j) {
          ASSERT_EQ(bits(scratch->numerators[j]), bits(expected.numerators[j])) << "count " << count << " j " << j;
          ASSERT_EQ(bits(scratch->choices[j]), bits(expected.choices[j])) << "count " << count << " j " << j;
        }
        // A batch of two rows (the input and category 0's weights) at once.
        std::vector<float> batch[2] = {std::vector<float>(scratch->room()), std::vector<float>(scratch->room())};
        const float* inputs[2] = {input.data(), w[0].data()};
        float* out[2] = {batch[0].data(), batch[1].data()};
        target.numerators(*table, 0, table->tileCount(), inputs, 2, out);
        ReferenceChoice second = referenceChoice(w, w[0], 0.001f);
        for (int j = 0; j < count; ++j) {
          ASSERT_EQ(bits(batch[0][j]), bits(expected.numerators[j])) << "count " << count << " j " << j;
          ASSERT_EQ(bits(batch[1][j]), bits(second.numerators[j])) << "count " << count << " j " << j;
        }
        // The search with the threshold applied in the kernel, over all tiles
        // and over the second half only, picks what the scalar search picks.
        for (float vigilance : {0.0f, 0.4f, 0.7f, 0.95f}) {
          const float inputSum = inputDenominator(0.001f, input);
          const int half = table->tileCount() / 2;
          const Candidate all = target.search(*table, 0, table->tileCount(), input.data(),
                                              matchThreshold(inputSum, vigilance));
          const Candidate upper = target.search(*table, half, table->tileCount(), input.data(),
                                                matchThreshold(inputSum, vigilance));
          const Candidate stored = target.select(batch[0].data(), table->denominators(), count,
                                                 matchThreshold(inputSum, vigilance));
          ASSERT_EQ(stored.category, all.category);
          const size_t from = static_cast<size_t>(half) * CategoryTable::kLanes;
          for (auto [found, first] : {std::pair{all, size_t{0}}, std::pair{upper, from}}) {
            SearchResult r = findResonance(std::span(expected.choices).subspan(first),
                                           std::span(expected.numerators).subspan(first), inputSum, vigilance);
            ASSERT_EQ(found.category, r.outcome == SearchOutcome::kResonance ? int(first) + r.winner : -1)
                << "count " << count << " vigilance " << vigilance;
          }
        }
      });
    }
  }
}

// Terms chosen so that rounding after every addition, summing in double,
// adding Alpha last and a fused multiply-add each give another result.
TEST_F(KernelTargets, SumsRoundAfterEveryAdditionWithAlphaFirst) {
  // One ulp of 1 is half an ulp of 2: added to 1 it stays, added to Alpha + 1
  // it rounds away (to even).
  const float tiny = 1.0f / (1 << 23);
  std::vector<float> category = {1.0f, tiny, tiny, tiny, tiny, tiny, tiny, tiny, tiny};
  std::vector<float> input(category.size(), 1.0f);
  const float alpha = 1.0f;
  Weights w = {category, category};
  table = fillTable(w, alpha);
  scratch->ensure(2);

  float indexOrder = alpha;
  for (float v : category) indexOrder += v;
  double inDouble = alpha;
  for (float v : category) inDouble += v;
  float alphaLast = 0.0f;
  for (float v : category) alphaLast += v;
  alphaLast += alpha;
  ASSERT_NE(indexOrder, static_cast<float>(inDouble));  // the case tells the orders apart
  ASSERT_NE(indexOrder, alphaLast);
  EXPECT_EQ(table->denominator(0), indexOrder);

  ReferenceChoice expected = referenceChoice(w, input, alpha);
  forEachTarget([&](const ChoiceKernelTarget& target) {
    target.kernel(*table, input.data(), *scratch);
    EXPECT_EQ(bits(scratch->numerators[0]), bits(expected.numerators[0]));
    EXPECT_EQ(bits(scratch->choices[1]), bits(expected.choices[1]));
  });
}

TEST(Search, EqualChoicesGoToTheLowerIndex) {
  std::vector<float> choices = {0.25f, 0.75f, 0.75f, 0.5f};
  std::vector<float> numerators = {1.0f, 1.0f, 1.0f, 1.0f};
  SearchResult r = findResonance(choices, numerators, 2.0f, 0.5f);
  ASSERT_EQ(r.outcome, SearchOutcome::kResonance);
  EXPECT_EQ(r.winner, 1);
}

TEST(Search, AMatchExactlyAtTheVigilancePasses) {
  // 45/64 over 1 is exactly the vigilance 0.703125.
  std::vector<float> choices = {0.9f};
  std::vector<float> numerators = {45.0f / 64.0f};
  EXPECT_EQ(findResonance(choices, numerators, 1.0f, 0.703125f).winner, 0);
  EXPECT_EQ(findResonance(choices, numerators, 1.0f, 0.703125f + 1.0f / 1024).outcome, SearchOutcome::kNoCategory);
}

TEST(Search, MatchIsComparedInDoubleNotSingle) {
  // 0.375 / 1.25 = 0.3 exactly in decimal; in double it lies below the float
  // 0.3f, in single precision it rounds up to it.
  std::vector<float> choices = {0.5f};
  std::vector<float> numerators = {0.375f};
  ASSERT_EQ(0.375f / 1.25f, 0.3f);
  EXPECT_EQ(findResonance(choices, numerators, 1.25f, 0.3f).outcome, SearchOutcome::kNoCategory);
}

TEST(Search, ThresholdIsTheSmallestPassingNumerator) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> sum(1e-3f, 100.0f);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < 10000; ++round) {
    float inputSum = sum(rng);
    float vigilance = round % 10 == 0 ? 1.0f : unit(rng);
    float t = matchThreshold(inputSum, vigilance);
    ASSERT_TRUE(passesVigilance(t, inputSum, vigilance));
    ASSERT_FALSE(passesVigilance(std::nextafter(t, -1.0f), inputSum, vigilance));
  }
  EXPECT_EQ(matchThreshold(1.0f, std::nanf("")), -INFINITY);  // every category passes, as the test says
}

TEST(Search, ZeroInputSumStopsOnlyWhenACategoryIsTested) {
  std::vector<float> tested = {0.0f};
  std::vector<float> numerators = {0.0f};
  EXPECT_EQ(findResonance(tested, numerators, 0.0f, 0.5f).outcome, SearchOutcome::kZeroInputSum);
  std::vector<float> none = {-0.5f};
  EXPECT_EQ(findResonance(none, numerators, 0.0f, 0.5f).outcome, SearchOutcome::kNoCategory);
}

// The single pass over the candidates equals the loop of tests and resets,
// also when most categories are reset and choices tie.
TEST(Search, OnePassEqualsTestAndResetLoop) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> level(0, 8);
  for (int round = 0; round < 2000; ++round) {
    int count = 1 + round % 40;
    std::vector<float> choices(static_cast<size_t>(count));
    std::vector<float> numerators(static_cast<size_t>(count));
    for (int j = 0; j < count; ++j) {
      choices[j] = level(rng) / 8.0f - (round % 7 == 0 ? 0.25f : 0.0f);  // ties, and some negative values
      numerators[j] = level(rng) / 8.0f;
    }
    float vigilance = level(rng) / 8.0f;
    float inputSum = 1.0f + level(rng) / 64.0f;
    int expected = referenceWinner(choices, numerators, inputSum, vigilance);
    SearchResult r = findResonance(choices, numerators, inputSum, vigilance);
    ASSERT_EQ(r.outcome == SearchOutcome::kResonance ? r.winner : -1, expected) << "round " << round;
  }
}

// Rows in batches (numerators summed together, the categories changed by
// earlier rows of the batch summed again) and rows shared among threads
// learn the bits of one row at a time on one thread; the weights pass the
// first-level cache.
TEST(Learning, BatchesAndSharedRowsGiveTheBitsOfOneRowAtATime) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const size_t length = 2048;
  std::vector<float> rows(300 * length);
  for (float& v : rows) v = unit(rng) * unit(rng);
  std::vector<uint32_t> learnt[4];
  for (int way = 0; way < 4; ++way) {
    CategoryTable table(1024, static_cast<int>(length), 0.0f);
    ChoiceScratch scratch;
    MemoryRows source(rows, length);
    for (int pass = 1; pass <= 3; ++pass) {
      learnPass(table, source, {pass, 0.4f, 0.45f, 1 + way / 2, way % 2 == 0 ? INT64_MAX : 0}, scratch, nullptr);
    }
    for (int j = 0; j < table.count(); ++j) {
      for (size_t i = 0; i < length; ++i) learnt[way].push_back(bits(table.weight(j, static_cast<int>(i))));
    }
    EXPECT_GT(table.count(), 130);
    EXPECT_EQ(learnt[way], learnt[0]) << "way " << way;
    // Classification, in batches past the first-level cache, gives each
    // row's category alone.
    int64_t checked = 0;
    classifyRows(table, source, 0.45f, [&](int64_t row, int category, std::span<const float> input) {
      ASSERT_EQ(category, classifyOne(table, input, 0.45f, scratch)) << "row " << row;
      ++checked;
    }, nullptr, way + 1);
    EXPECT_EQ(checked, 300);
  }
}

TEST(Learning, UpdateIsComputedInDoubleAndRoundedOnce) {
  // Values where single-precision steps, or a fused multiply-add, round
  // differently from the double computation.
  Weights w = {{0.0631249994f, 0.3f, 0.362968743f}};
  auto table = fillTable(w, 0.0f);
  std::vector<float> input = {0.0154687501f, 0.9f, 0.0154687501f};
  const float beta = 0.3f;
  const float keep = 1.0f - beta;
  learnInput(*table, 0, input, beta, keep);
  int differsFromSingle = 0;
  for (int i = 0; i < 3; ++i) {
    float m = input[i] < w[0][i] ? input[i] : w[0][i];
    double exact = static_cast<double>(beta) * m + static_cast<double>(keep) * w[0][i];
    EXPECT_EQ(bits(table->weight(0, i)), bits(static_cast<float>(exact))) << i;
    float single = beta * m + keep * w[0][i];
    float fused = std::fma(beta, m, keep * w[0][i]);
    differsFromSingle += bits(single) != bits(static_cast<float>(exact)) && bits(fused) != bits(static_cast<float>(exact));
  }
  EXPECT_GT(differsFromSingle, 0) << "the case no longer tells double from single arithmetic";
  EXPECT_EQ(table->denominator(0), (0.0f + table->weight(0, 0)) + table->weight(0, 1) + table->weight(0, 2));
}

}  // namespace
}  // namespace fuzzyart
