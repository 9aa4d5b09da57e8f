// Every public call refuses arguments that would make it read or write
// outside what it was given, or silently drop part of it, with Error
// (kInvalidParameter) and a message that says what is wrong.
#include <gtest/gtest.h>

#include <cfloat>
#include <functional>
#include <limits>
#include <vector>

#include "fuzzyart/fuzzyart.h"

namespace fuzzyart {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Each call throws Error (kInvalidParameter), with its message where one is
// given.
void expectRefused(const std::vector<std::pair<std::function<void()>, std::string>>& cases) {
  for (const auto& [call, message] : cases) {
    try {
      call();
      ADD_FAILURE() << "not refused: " << message;
    } catch (const Error& e) {
      EXPECT_TRUE(e.kind() == ErrorKind::kInvalidParameter && (message.empty() || message == e.what())) << e.what();
    }
  }
}

// The parameter checks in their order, Alpha's last (the command line's
// switches, which take any Alpha, have an end-to-end case), and what a
// network holds.
TEST(Arguments, ParametersAndNetworks) {
  const std::string kAlphaRefused = "The category choice parameter must be a finite number: Value=";
  expectRefused({
      {[] { checkParameters(NetworkParameters{.maxCategories = 0}); }, "The number of categories must be greater than 0: Value=0\n"},
      {[] { checkParameters(NetworkParameters{.iterations = 0, .alpha = kNaN}); },
       "Number of iterationes must be greater than 0: Value=0\n"},
      {[] { checkParameters(NetworkParameters{.alpha = kNaN}); }, kAlphaRefused + "nan\n"},
      {[] { checkParameters(NetworkParameters{.alpha = -kInfinity}); }, kAlphaRefused + "-inf\n"},
      {[] { Network({.maxCategories = 0}, 2); }, "The number of categories must be greater than 0: Value=0\n"},
      {[] { Network({}, 0); }, "The input length must be between 1 and 8192: Value=0\n"},
  });

  // A network holds rows and categories of one length, and no category it
  // does not have; rows held in memory are whole.
  Network network({}, 2);
  network.addCategory(std::vector<float>{0.5f, 0.25f});
  const std::vector<float> one{0.5f}, three{0.5f, 0.5f, 0.5f}, five(5, 0.5f);
  expectRefused({
      {[&] { network.classify(one); }, "Rows of 1 values for a network of 2.\n"},
      {[&] { network.addCategory(three); }, "A category of 3 weights for a network of 2.\n"},
      {[&] { network.weights(1); }, "No category 1 in a network of 1.\n"},
      {[&] { network.resumeLearning(kNaN, 1); }, ""},
      {[&] { MemoryRows(five, 2); }, "Rows of 2 values cannot hold 5 values.\n"},
      {[&] { MemoryRows(five, 0); }, "Rows of 0 values cannot hold 5 values.\n"},
  });
}

// Tables are whole rows; ranges and scalings are ones a table could have
// given, so that no loop indexes a row or the ranges outside them; a tally
// takes only the categories it was made for.
TEST(Arguments, TablesScalingsAndTallies) {
  const std::vector<float> five{1, 2, 3, 4, 5};
  const std::span<const float> four = std::span(five).first(4);
  ColumnRanges ranges = measureRanges(four, 2, false, "X");
  const Scaling scaling = makeScaling(ranges, {}, "X");
  std::vector<float> out(4);
  Scaling outside = scaling, unpaired = scaling;
  outside.columns = {0, 2};
  unpaired.max.pop_back();
  const std::string partial = "5 values are no whole number of rows of 2 columns.\n";
  expectRefused({
      {[&] { measureRanges(five, 2, false, "X"); }, partial},
      {[&] { ranges.widen(five); }, "A row of 5 values for ranges of 2 and 2 columns.\n"},
      {[&] { makeScaling({{FLT_MAX, FLT_MAX}, {-FLT_MAX, -FLT_MAX}}, {}, "X"); },
       "The range of column 1 is no finite range from low to high.\n"},
      {[&] { makeScaling({{0, 0}, {1}}, {}, "X"); }, "Ranges of 2 and 1 columns make no scaling.\n"},
      {[&] { prepareRows(scaling, five, out, true, "X"); }, partial},
      {[&] { prepareRows(scaling, four, std::span(out).first(3), true, "X"); }, "Room for 2 prepared rows needed.\n"},
      {[&] { prepareRows(outside, four, out, true, "X"); }, ""},
      {[&] { prepareRows(unpaired, four, out, true, "X"); }, ""},
  });

  // A tally is sized by the library for the network's categories.
  const Scaling coded{.columnCount = 2, .columns = {0, 1}, .min = {0, 0}, .max = {1, 1}, .complementCoding = true};
  const Scaling uncoded{.columnCount = 2, .columns = {0, 1}, .min = {0, 0}, .max = {1, 1}};
  Network network({}, 4);
  network.addCategory(std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f});
  Tally tally(network, coded);
  tally.add(-1, std::vector<float>{});
  tally.add(0, std::vector<float>{0.25f, 0.75f});
  expectRefused({
      {[&] { Tally(network, uncoded); }, "A scaling of input length 2 for a network of 4.\n"},
      {[&] { tally.add(1, std::vector<float>{0, 0}); }, "No category 1 in a tally of 1.\n"},
      {[&] { tally.add(0, std::vector<float>{0}); }, "A row of 1 values for sums of 2 variables.\n"},
      {[&] { tally.centre(0, Scaling{.columnCount = 1, .columns = {0}, .min = {0}, .max = {1}}); }, ""},
      {[&] { Tally(network).centre(0, coded); }, ""},
  });
  EXPECT_EQ(tally.counts(), std::vector<int64_t>{1});
  EXPECT_EQ(tally.unclassified(), 1);
}

}  // namespace
}  // namespace fuzzyart
