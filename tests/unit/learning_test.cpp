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

}  // namespace
}  // namespace fuzzyart
