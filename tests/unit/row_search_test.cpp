// The fast search against the plain one, the definition read literally:
// every decision (the network's test and raised ones with resets, rows in
// batches or alone, shared among threads or not, rows and categories with
// zero sums) and every learnt weight, to the bit.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "engine/art_rule.h"
#include "engine/category_table.h"
#include "engine/classification.h"
#include "engine/learning.h"
#include "engine/row_search.h"
#include "fuzzyart/error.h"

namespace fuzzyart {
namespace {

std::string describe(const Decision& d) {
  return std::to_string(static_cast<int>(d.outcome)) + "/" + std::to_string(d.winner);
}

// Weights in 0..1, some categories copies of others (equal choice values)
// and some a row's own weights (choice and match 1 with Alpha 0).
CategoryTable makeTable(std::mt19937& rng, int count, int length, float alpha, const std::vector<float>& rows) {
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  CategoryTable table(count + 1, length, alpha);
  std::vector<float> w(static_cast<size_t>(length));
  for (int j = 0; j < count; ++j) {
    if (j % 5 == 4) {
      table.copyWeights(j / 2, w);
    } else if (j % 7 == 6) {
      std::copy_n(rows.begin() + (5 + j % 20) * length, length, w.begin());
    } else {
      for (float& v : w) v = unit(rng) * unit(rng);
    }
    commitCategory(table, w, nullptr);
  }
  return table;
}

TEST(RowSearch, FastDecidesAsThePlainSearchUnderEveryTest) {
  std::mt19937 rng(17);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  // Small tables, one tile, several tiles, and tables past the batching
  // limit (200 x 128 and 1100 x 16 weights).
  for (auto [count, length] : {std::pair{0, 4}, {1, 3}, {15, 8}, {17, 2}, {200, 128}, {1100, 16}}) {
    for (float alpha : {0.0f, 0.001f}) {
      const size_t rowCount = 40;
      std::vector<float> rows(rowCount * static_cast<size_t>(length));
      for (float& v : rows) v = unit(rng);
      // An all-zero row (a zero input sum with Alpha 0) and a row of zeros
      // but one value.
      std::fill_n(rows.begin() + 3 * length, length, 0.0f);
      std::fill_n(rows.begin() + 4 * length, length, 0.0f);
      rows[4 * static_cast<size_t>(length)] = 0.5f;
      const CategoryTable table = makeTable(rng, count, length, alpha, rows);
      SearchOptions plainOptions;
      plainOptions.engine = Engine::kPlain;
      for (float vigilance : {0.0f, 0.5f, 0.8f, 1.0f}) {
        plainOptions.test.vigilance = vigilance;
        auto plain = makeRowSearch(table, plainOptions);
        plain->setRows(rows.data(), rowCount);
        for (int way = 0; way < 3; ++way) {
          SearchOptions options = plainOptions;
          options.engine = Engine::kFast;
          options.batchFloats = way == 1 ? 0 : INT64_MAX;
          options.threads = way == 2 ? 2 : 1;
          options.measureSharing = false;
          auto fast = makeRowSearch(table, options);
          fast->setRows(rows.data(), rowCount);
          for (size_t k = 0; k < rowCount; ++k) {
            SCOPED_TRACE(std::to_string(count) + " x " + std::to_string(length) + ", alpha " +
                         std::to_string(alpha) + ", vigilance " + std::to_string(vigilance) + ", way " +
                         std::to_string(way) + ", row " + std::to_string(k));
            const Decision first = plain->decide(k);
            ASSERT_EQ(describe(fast->decide(k)), describe(first));
            if (first.outcome != Outcome::kResonance) continue;
            // Match tracking after the winner: raised past its match, lowered
            // below it with the winner reset, and strict at it; each again
            // after the next winner.
            const double m = plain->match(k, first.winner);
            ASSERT_EQ(std::bit_cast<uint64_t>(fast->match(k, first.winner)), std::bit_cast<uint64_t>(m));
            for (const MatchTest raised : {MatchTest{m + 1e-10}, MatchTest{m - 1e-10}, MatchTest{m, true}}) {
              std::vector<int> tried = {first.winner};
              for (int round = 0; round < 3; ++round) {
                const Decision next = plain->decideAbove(k, raised, tried);
                ASSERT_EQ(describe(fast->decideAbove(k, raised, tried)), describe(next)) << "round " << round;
                if (next.outcome != Outcome::kResonance) break;
                tried.push_back(next.winner);
              }
            }
          }
        }
      }
    }
  }
}

TEST(RowSearch, AZeroCategorySumStopsEverySearch) {
  CategoryTable table(2, 2, 0.0f);
  commitCategory(table, std::vector<float>{0.5f, 0.5f}, nullptr);
  commitCategory(table, std::vector<float>{0.0f, 0.0f}, nullptr);
  const std::vector<float> row = {0.25f, 0.75f};
  for (Engine engine : {Engine::kFast, Engine::kPlain}) {
    SearchOptions options;
    options.engine = engine;
    auto search = makeRowSearch(table, options);
    search->setRows(row.data(), 1);
    EXPECT_EQ(search->decide(0).outcome, Outcome::kZeroCategorySum);
    EXPECT_EQ(search->decideAbove(0, MatchTest{0.9}, std::vector<int>{0}).outcome, Outcome::kZeroCategorySum);
    EXPECT_THROW(acceptedCategory(search->decide(0)), Error);
  }
}

// Whole passes: the fast engine, in batches or alone, shared among threads
// always or where it measures sharing faster, learns the plain engine's
// weights bit for bit (Beta above 1 drives weights below 0; 2048 weights
// pass the first-level cache), and classifies every row as it does.
TEST(RowSearch, FastLearnsAndClassifiesAsThePlainEngine) {
  std::mt19937 rng(23);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (auto [length, beta, alpha, vigilance] : {std::tuple{8, 0.9f, 0.0f, 0.75f}, std::tuple{64, 1.0f, 0.001f, 0.4f},
                                                std::tuple{4, 1.5f, 0.01f, 0.7f}, std::tuple{2048, 0.4f, 0.0f, 0.45f}}) {
    const size_t rowCount = length > 1000 ? 300 : 1500;
    std::vector<float> rows(rowCount * static_cast<size_t>(length));
    for (float& v : rows) v = unit(rng) * unit(rng);
    std::vector<std::vector<uint32_t>> learnt;
    std::vector<std::vector<int>> classes;
    for (int way = 0; way < 5; ++way) {
      CategoryTable table(1024, length, alpha);
      MemoryRows source(rows, static_cast<size_t>(length));
      SearchOptions options;
      options.test.vigilance = vigilance;
      options.engine = way == 0 ? Engine::kPlain : Engine::kFast;
      options.batchFloats = way == 2 ? 0 : INT64_MAX;
      options.threads = way >= 3 ? 2 : 1;
      options.measureSharing = way == 4;
      float b = beta;
      for (int pass = 1; pass <= 3; ++pass, b *= 0.8f) learnPass(table, source, {pass, b, options}, nullptr);
      learnt.emplace_back();
      for (int j = 0; j < table.count(); ++j) {
        for (int i = 0; i < length; ++i) learnt.back().push_back(std::bit_cast<uint32_t>(table.weight(j, i)));
      }
      classes.emplace_back();
      classifyRows(table, source, options, [&](int64_t, int category, std::span<const float>) {
        classes.back().push_back(category);
      }, nullptr, 2);
      EXPECT_GT(table.count(), 20) << "way " << way;
      EXPECT_EQ(learnt[way], learnt[0]) << "way " << way << ", length " << length;
      EXPECT_EQ(classes[way], classes[0]) << "way " << way << ", length " << length;
    }
  }
}

}  // namespace
}  // namespace fuzzyart
