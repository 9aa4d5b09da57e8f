// The category memory: each category's weights exact and apart from the
// others across the tiles of 16, and the zero denominators as weights change
// (reports, stops and the denominators' sums are proven elsewhere).
#include "engine/category_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>


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

}  // namespace
}  // namespace fuzzyart
