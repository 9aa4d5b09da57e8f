// The shuffled order: the documented generator's values (from
// tools/expected/presentation_order.py), a permutation for any n, and a
// shuffled pass equal to a pass over the rows laid out in that order, from
// memory and from the command line's record file alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "data/record_file.h"
#include "e2e/child_process.h"
#include "fuzzyart/fuzzyart.h"

namespace fuzzyart {
namespace {

std::vector<uint64_t> drawn(uint64_t n, uint64_t seed, uint64_t pass) {
  const PresentationOrder order(n, seed, pass);
  std::vector<uint64_t> out;
  for (uint64_t i = 0; i < n; ++i) out.push_back(order[i]);
  return out;
}

TEST(PresentationOrder, IsTheDocumentedGeneratorAndAPermutation) {
  EXPECT_EQ(drawn(4, 7, 1), (std::vector<uint64_t>{1, 0, 3, 2}));
  EXPECT_EQ(drawn(4, 7, 3), (std::vector<uint64_t>{3, 2, 0, 1}));
  EXPECT_EQ(drawn(10, 0, 1), (std::vector<uint64_t>{8, 0, 5, 4, 2, 3, 6, 7, 1, 9}));
  EXPECT_EQ(drawn(5, 12345678901234567890ULL, 2), (std::vector<uint64_t>{0, 4, 2, 1, 3}));
  const PresentationOrder large(100000, UINT64_MAX, 5);
  EXPECT_EQ(large[0], 72117u);
  EXPECT_EQ(large[99999], 55690u);
  for (const uint64_t n : {1, 2, 3, 5, 17, 64, 65, 1000, 4097}) {
    std::vector<uint64_t> order = drawn(n, n * 31, 2);
    std::sort(order.begin(), order.end());
    std::vector<uint64_t> all(n);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(order, all) << n;
  }
}

TEST(PresentationOrder, ShuffledPassesLearnTheRowsInTheirOrder) {
  constexpr size_t kLength = 3;
  std::vector<float> values;
  for (int r = 0; r < 5000; ++r) {
    for (size_t c = 0; c < kLength; ++c) values.push_back(static_cast<float>((r * 37 + c * 11) % 101) / 100.0f);
  }
  NetworkParameters p;
  p.vigilance = 0.8f;
  p.iterations = 2;
  p.shuffleSeed = 99;
  MemoryRows memory(values, kLength);
  Network shuffled(p, kLength);
  shuffled.learn(memory);

  Network laidOut(NetworkParameters{.iterations = 2, .vigilance = 0.8f}, kLength);
  for (uint64_t pass = 1; pass <= 2; ++pass) {
    std::vector<float> rows;
    for (const uint64_t r : drawn(5000, 99, pass)) rows.insert(rows.end(), &values[r * kLength], &values[(r + 1) * kLength]);
    MemoryRows inOrder(rows, kLength);
    laidOut.learnPass(inOrder);
  }
  ASSERT_GT(shuffled.categoryCount(), 3);
  ASSERT_EQ(shuffled.categoryCount(), laidOut.categoryCount());
  for (int j = 0; j < shuffled.categoryCount(); ++j) EXPECT_EQ(shuffled.weights(j), laidOut.weights(j));

  // The command line's record file, read record by record in the order.
  testing::TempDir dir;
  RecordFileWriter writer;
  ASSERT_TRUE(writer.create(dir.file("rows.BIN")));
  ASSERT_TRUE(writer.write(values.data(), values.size()) && writer.close());
  RecordFileReader reader;
  ASSERT_TRUE(reader.open(dir.file("rows.BIN"), kLength));
  reader.expectRecords(5000);
  Network fromFile(p, kLength);
  fromFile.learn(reader);
  for (int j = 0; j < shuffled.categoryCount(); ++j) EXPECT_EQ(fromFile.weights(j), shuffled.weights(j));
}

}  // namespace
}  // namespace fuzzyart
