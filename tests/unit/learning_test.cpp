// Learning passes over prepared rows held in memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "data/record_file.h"
#include "engine/category_table.h"
#include "engine/learning.h"
#include "run/console.h"

namespace fuzzyart {
namespace {

// Console output of the pass goes nowhere during these tests.
class QuietConsole : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = consoleStreams();
    sink_ = std::fopen("/dev/null", "w");
    consoleStreams().err = sink_;
    consoleStreams().out = sink_;
  }
  void TearDown() override {
    consoleStreams() = saved_;
    std::fclose(sink_);
  }

 private:
  ConsoleStreams saved_;
  FILE* sink_ = nullptr;
};

using LearningTest = QuietConsole;

float update(float beta, float input, float weight) {
  float m = input < weight ? input : weight;
  return static_cast<float>(double{beta} * m + double{1.0f - beta} * weight);
}

TEST_F(LearningTest, WorkedExampleOfThreeVectors) {
  RecordReader rows;
  rows.openMemory({0.2f, 0.6f, 0.4f, 0.2f, 0.9f, 0.9f}, 2);
  auto table = std::make_unique<CategoryTable>();
  table->resetForFile();
  table->resetForEngine(0.0f);
  LearningParameters p;
  p.iterations = 1;
  p.beta = 0.9f;
  p.vigilance = 0.5f;
  learnCategories(rows, *table, p);

  ASSERT_EQ(table->count(), 2);
  // The second vector resonates with category 0 (match 0.4/0.6) and moves it
  // to about (0.2, 0.24); the third fails the match (0.44/1.8) and is new.
  EXPECT_EQ(table->weight(0, 0), update(0.9f, 0.4f, 0.2f));
  EXPECT_EQ(table->weight(0, 1), update(0.9f, 0.2f, 0.6f));
  EXPECT_NEAR(table->weight(0, 1), 0.24f, 1e-6f);
  EXPECT_EQ(table->weight(1, 0), 0.9f);
  EXPECT_EQ(table->weight(1, 1), 0.9f);
}

TEST_F(LearningTest, ItpScalesBetaAfterEveryPass) {
  // One category learns the same input twice: with Itp 0.5 the second pass
  // uses half the first pass's Beta.
  RecordReader rows;
  rows.openMemory({0.5f, 1.0f, 0.25f, 0.5f}, 2);
  auto table = std::make_unique<CategoryTable>();
  table->resetForFile();
  table->resetForEngine(0.0f);
  LearningParameters p;
  p.iterations = 2;
  p.beta = 0.5f;
  p.itp = 0.5f;
  p.vigilance = 0.0f;
  learnCategories(rows, *table, p);

  ASSERT_EQ(table->count(), 1);
  float w0 = update(0.5f, 0.25f, 0.5f);  // pass 1, second row
  w0 = update(0.25f, 0.5f, w0);          // pass 2, first row
  w0 = update(0.25f, 0.25f, w0);         // pass 2, second row
  EXPECT_EQ(table->weight(0, 0), w0);
}

TEST_F(LearningTest, TooManyCategoriesStopsTheRun) {
  // Vigilance 1 with Alpha above 0: no category can pass, every row is new.
  std::vector<float> records;
  for (int r = 0; r < 1025; ++r) {
    records.push_back(static_cast<float>(r % 7) / 8.0f);
    records.push_back(1.0f);
  }
  RecordReader rows;
  rows.openMemory(records, 2);
  auto table = std::make_unique<CategoryTable>();
  table->resetForFile();
  table->resetForEngine(0.1f);
  LearningParameters p;
  p.iterations = 1;
  p.vigilance = 1.0f;
  try {
    learnCategories(rows, *table, p);
    FAIL() << "the 1025th category was accepted";
  } catch (const RunStop& stop) {
    EXPECT_EQ(stop.exitCode, kExitPanic);
  }
  EXPECT_EQ(table->count(), 1024);
}

}  // namespace
}  // namespace fuzzyart
