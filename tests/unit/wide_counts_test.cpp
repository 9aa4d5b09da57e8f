// The row count of a category is 64-bit: preset just below 2^31, it goes on
// past it in recall and prints whole in the category/weight file and in the
// console's count line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/ranges.h"
#include "data/record_file.h"
#include "engine/category_table.h"
#include "engine/recall_pass.h"
#include "results/output_file.h"
#include "results/weight_file.h"
#include "run/switches.h"
#include "unit/console_capture.h"

namespace fuzzyart {
namespace {

// A result file written into memory; its text is read once it is closed.
class MemoryFile {
 public:
  MemoryFile() { file.adopt(open_memstream(&data_, &size_)); }
  ~MemoryFile() { std::free(data_); }
  std::string text() {
    EXPECT_TRUE(file.close());
    return std::string(data_, size_);
  }
  OutputFile file;

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
};

TEST(WideCounts, CountPastTwoToThe31IsKeptAndPrintedWhole) {
  CategoryTable table;
  table.resetForFile();
  table.resetForEngine(0.0f);
  const std::vector<float> row{0.25f, 0.75f};
  commitCategory(table, row, 0);
  table.counts(0) = (int64_t{1} << 31) - 2;

  RecordReader rows;
  rows.openMemory({0.25f, 0.75f, 0.25f, 0.75f, 0.25f, 0.75f}, 2);
  RecallParameters parameters;
  parameters.quiet = true;
  parameters.variableCount = 2;
  MemoryFile values;
  test::ConsoleCapture console;
  recallRows(rows, table, parameters, values.file, nullptr);
  EXPECT_EQ(values.text(), "1\n1\n1\n");
  EXPECT_EQ(table.counts(0), 2147483649);

  Ranges ranges;
  ranges.min = {0.0f, 0.0f};
  ranges.max = {1.0f, 1.0f};
  RunSettings settings;
  settings.debugLevel = 1;
  MemoryFile weights;
  writeCategoryWeightFile(weights.file, table, ranges, settings, "DATA.TXT", 2);
  EXPECT_EQ(weights.text(),
            "! Category/weightfile for datafile: DATA.TXT\n"
            "! No.of Iter:10 \xe0:0.000 \xe1:0.900 Vigilance:0.500 Itp:1.000 CompCode:N\n"
            "Counts=2147483649 0.25         0.75         \n");
  EXPECT_EQ(console.out(), "Counts of category1 : 2147483649\n");
}

}  // namespace
}  // namespace fuzzyart
