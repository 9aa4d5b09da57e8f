// The category memory: each category's weights exact and apart from the others,
// the choice denominators, the reservation reports and stops, and the release
// between data files.
#include "engine/category_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "console_capture.h"
#include "run/console.h"

namespace fuzzyart {
namespace {

class CategoryTableTest : public ::testing::Test {
 protected:
  void SetUp() override { startFile(0.0f); }
  void TearDown() override { setReservationFailure(-1); }

  void startFile(float alpha) {
    table->resetForFile();
    table->resetForEngine(alpha);
  }

  // Weight i of category j: distinct for every pair, and no short binary
  // fraction, so any conversion on the way would show.
  static float pattern(int j, int i) { return static_cast<float>(j * 8 + i + 1) / 10000.0f; }

  void commitPatterned(int categories, int length) {
    std::vector<float> input(static_cast<size_t>(length));
    for (int j = 0; j < categories; ++j) {
      for (int i = 0; i < length; ++i) input[static_cast<size_t>(i)] = pattern(j, i);
      commitCategory(*table, input, 0);
    }
  }

  std::unique_ptr<CategoryTable> table = std::make_unique<CategoryTable>();
};

TEST_F(CategoryTableTest, EveryCategoryHoldsExactlyItsInputAcrossTileBoundaries) {
  commitPatterned(kMaxCategories, 5);
  ASSERT_EQ(table->count(), kMaxCategories);
  for (int j = 0; j < kMaxCategories; ++j) {
    ASSERT_TRUE(table->committed(j)) << j;
    for (int i = 0; i < 5; ++i) ASSERT_EQ(table->weight(j, i), pattern(j, i)) << j << "," << i;
  }
  // A change to one category touches no neighbour.
  table->setWeight(16, 4, 0.75f);
  std::vector<float> out(5);
  for (int j : {15, 16, 17, 1023}) {
    table->copyWeights(j, out);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], j == 16 && i == 4 ? 0.75f : pattern(j, i)) << j << "," << i;
  }
}

TEST_F(CategoryTableTest, DenominatorAddsTheWeightsToAlphaOneByOneInSinglePrecision) {
  startFile(1.0f);
  const float tiny = std::ldexp(1.0f, -24);   // half a unit in the last place of 1
  const float small = std::ldexp(1.0f, -23);  // half a unit in the last place of 2
  // Each addition to 1 is a tie that rounds back to 1; in double, or with the
  // weights summed before alpha, the sum is 1 + 2^-23.
  commitCategory(*table, std::vector<float>{tiny, tiny, 0.0f}, 0);
  // In index order 1 + 1 = 2 absorbs both halves; summed from the end (or in
  // double) the halves add up first and give 2 + 2^-22.
  commitCategory(*table, std::vector<float>{1.0f, small, small}, 0);
  EXPECT_EQ(table->denominator(0), 1.0f);
  EXPECT_EQ(table->denominator(1), 2.0f);
}

TEST_F(CategoryTableTest, ZeroDenominatorIsNoticedAsWeightsChange) {
  commitCategory(*table, std::vector<float>{0.0f, 0.0f}, 0);
  EXPECT_TRUE(table->anyZeroDenominator());
  commitCategory(*table, std::vector<float>{0.5f, 0.0f}, 0);
  EXPECT_TRUE(table->anyZeroDenominator());

  table->setWeight(0, 1, 0.25f);
  table->refreshDenominator(0);
  EXPECT_FALSE(table->anyZeroDenominator());

  table->setWeight(1, 0, 0.0f);
  table->refreshDenominator(1);
  EXPECT_TRUE(table->anyZeroDenominator());

  // Nothing of it reaches the next file.
  table->releaseCategories();
  startFile(0.0f);
  commitCategory(*table, std::vector<float>{0.5f, 0.5f}, 0);
  EXPECT_FALSE(table->anyZeroDenominator());
}

TEST_F(CategoryTableTest, ReleaseLeavesAnEmptyTableForTheNextFile) {
  commitPatterned(kMaxCategories, 5);
  table->releaseCategories();
  EXPECT_EQ(table->count(), 0);

  // The next file, with another vector length.
  startFile(0.0f);
  commitCategory(*table, std::vector<float>{0.25f, 0.5f, 0.75f}, 0);
  EXPECT_EQ(table->count(), 1);
  EXPECT_EQ(table->length(), 3);
  EXPECT_FALSE(table->committed(1));
  std::vector<float> out(3);
  table->copyWeights(0, out);
  EXPECT_EQ(out, (std::vector<float>{0.25f, 0.5f, 0.75f}));
  EXPECT_EQ(table->denominator(0), 1.5f);
}

}  // namespace
}  // namespace fuzzyart
