// The shuffled order: the documented generator's values (from
// tools/expected/presentation_order.py), a permutation for any n, and a
// shuffled pass equal to a pass over the rows laid out in that order.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "fuzzyart/fuzzyart.h"

namespace fuzzyart {
namespace {

std::vector<uint64_t> drawn(uint64_t n, uint64_t seed, uint64_t pass) {
  const PresentationOrder order(n, seed, pass);
  std::vector<uint64_t> out(n);
  for (uint64_t i = 0; i < n; ++i) out[i] = order[i];
  return out;
}

TEST(PresentationOrder, IsTheDocumentedPermutationAndShuffledPassesFollowIt) {
  EXPECT_EQ(drawn(4, 7, 1), (std::vector<uint64_t>{1, 0, 3, 2}));
  EXPECT_EQ(drawn(10, 0, 1), (std::vector<uint64_t>{8, 0, 5, 4, 2, 3, 6, 7, 1, 9}));
  EXPECT_EQ(PresentationOrder(100000, UINT64_MAX, 5)[99999], 55690u);
  for (const uint64_t n : {1, 2, 3, 5, 17, 64, 65, 1000, 4097}) {
    std::vector<uint64_t> order = drawn(n, n * 31, 2), all(n);
    std::sort(order.begin(), order.end());
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(order, all) << n;
  }

  constexpr size_t kLength = 3, kRows = 5000;
  std::vector<float> values;
  for (size_t i = 0; i < kRows * kLength; ++i) values.push_back(static_cast<float>((i / 3 * 37 + i % 3 * 11) % 101) / 100);
  NetworkParameters p{.iterations = 2, .vigilance = 0.8f, .shuffleSeed = 99};
  MemoryRows memory(values, kLength);
  Network shuffled(p, kLength);
  shuffled.learn(memory);
  p.shuffleSeed.reset();
  Network laidOut(p, kLength);
  for (uint64_t pass = 1; pass <= 2; ++pass) {
    std::vector<float> rows;
    for (const uint64_t r : drawn(kRows, 99, pass)) rows.insert(rows.end(), &values[r * kLength], &values[(r + 1) * kLength]);
    MemoryRows inOrder(rows, kLength);
    laidOut.learnPass(inOrder);
  }
  ASSERT_GT(shuffled.categoryCount(), 3);
  ASSERT_EQ(shuffled.categoryCount(), laidOut.categoryCount());
  for (int j = 0; j < shuffled.categoryCount(); ++j) EXPECT_EQ(shuffled.weights(j), laidOut.weights(j));
}

}  // namespace
}  // namespace fuzzyart
