// The category/weight file and loadCategories as a round trip, the way a
// recall run reads back what a learning run wrote (the file's bytes at each
// debug level are checked end to end).
#include "results/weight_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "console_capture.h"
#include "data/line_reader.h"
#include "data/ranges.h"
#include "data/row_reader.h"
#include "engine/category_table.h"
#include "results/output_file.h"
#include "run/console.h"
#include "run/switches.h"

namespace fuzzyart {
namespace {

class WeightFileTest : public ::testing::Test {
 protected:
  // Two variables with complement coding. Ranges 0..1 and 10..30 bring the
  // weights back to values that 6 digits hold exactly. The complement weights
  // of categories 0 and 1 are not 1 minus their first half, as learning can
  // leave them.
  void SetUp() override {
    ranges.min = {0.0f, 10.0f};
    ranges.max = {1.0f, 30.0f};
    settings.iterations = 6;
    settings.alpha = 0.001f;
    settings.beta = 0.12f;
    settings.vigilance = 0.75f;
    settings.itp = 0.5f;
    settings.complementCoding = true;
    table->resetForFile();
    table->resetForEngine(settings.alpha);
    const std::vector<float> weights[] = {
        {0.25f, 0.5f, 0.5f, 0.25f}, {1.0f, 0.0f, 0.25f, 0.75f}, {0.0f, 0.125f, 1.0f, 0.875f}};
    const int64_t counts[] = {17, 0, 3};
    for (int j = 0; j < 3; ++j) {
      commitCategory(*table, weights[j], 0);
      table->counts(j) = counts[j];
    }
  }

  // The file as written into a memory stream.
  std::string write(int debugLevel) {
    settings.debugLevel = debugLevel;
    char* data = nullptr;
    size_t size = 0;
    OutputFile file;
    file.adopt(open_memstream(&data, &size));
    writeCategoryWeightFile(file, *table, ranges, settings, "DIR/DATA.TXT", 2);
    EXPECT_TRUE(file.close());
    std::string text(data, size);
    std::free(data);
    return text;
  }

  Ranges ranges;
  RunSettings settings;
  std::unique_ptr<CategoryTable> table = std::make_unique<CategoryTable>();
};

TEST_F(WeightFileTest, LoadingTheWrittenFileGivesBackTheWeightsWithComplementsRebuilt) {
  test::ConsoleCapture console;
  LineReader in;
  in.openMemory(std::make_shared<const std::string>(write(0)));
  const size_t written = console.err().size();
  auto owner = std::make_unique<CategoryTable>();
  CategoryTable& loaded = *owner;
  loaded.resetForFile();
  loaded.resetForEngine(settings.alpha);
  RowShape shape{2, 2};
  std::vector<float> row(kRowBufferSize);
  loadCategories(in, loaded, ranges, shape, settings, 4, row.data());

  const std::vector<float> expected[] = {
      {0.25f, 0.5f, 0.75f, 0.5f}, {1.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.125f, 1.0f, 0.875f}};
  ASSERT_EQ(loaded.count(), 3);
  std::vector<float> out(4);
  for (int j = 0; j < 3; ++j) {
    EXPECT_TRUE(loaded.committed(j));
    loaded.copyWeights(j, out);
    EXPECT_EQ(out, expected[j]) << "category " << j;
  }
  EXPECT_FALSE(in.isOpen());
  EXPECT_EQ(console.err().substr(written), "\nFinal number of categories: 3 \n ");
}

}  // namespace
}  // namespace fuzzyart
