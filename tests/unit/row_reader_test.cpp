// The row reader: what each kind of line yields, the counts set by the first
// row, the mismatch line, the end of the data, and lines of any length.
#include "data/row_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fuzzyart/observer.h"

namespace fuzzyart {
namespace {

constexpr float kUntouched = -777.0f;

// What the reader tells of rows of another length.
struct Mismatches : Observer {
  void onRowMismatch(std::string_view line, int count, int columnCount) override {
    seen += std::string(line) + "|" + std::to_string(count) + "|" + std::to_string(columnCount) + ";";
  }
  std::string seen;
};

// A reader over text in memory. The row buffer has guard room behind the
// kRowBufferSize floats that the reader may use.
struct Rows {
  explicit Rows(std::string text) : row(kRowBufferSize + 64, kUntouched) {
    in.openMemory("rows", std::make_shared<const std::string>(std::move(text)));
  }
  int32_t next() { return readDataRow(row.data(), in, shape, &mismatches); }
  std::vector<float> first(int n) const { return {row.begin(), row.begin() + n}; }
  bool guardUntouched() const {
    for (size_t i = kRowBufferSize; i < row.size(); ++i) {
      if (row[i] != kUntouched) return false;
    }
    return true;
  }

  TextFile in;
  RowShape shape;
  std::vector<float> row;
  Mismatches mismatches;
};

struct Scanned {
  LineKind kind;
  std::vector<float> values;
};

Scanned scan(std::string_view line) {
  std::vector<float> values(kRowBufferSize, kUntouched);
  int32_t count = 0;
  LineKind kind = scanDataLine(line, values.data(), count);
  values.resize(kind == LineKind::kValues ? static_cast<size_t>(count) : 0);
  return {kind, values};
}

TEST(ScanDataLine, SeparatorsSignsAndGluedTextGiveTheRightValues) {
  const struct {
    const char* line;
    std::vector<float> values;
  } cases[] = {
      {"1,,2,3\n", {1, 2, 3}},
      {"1.5 2E+1 +7\n", {1.5f, 20, 7}},
      {"e5 E6 +-7\n", {5, 6, -7}},  // "e", "E" and "+" before a value are passed over
      {".5 -.5 1e3\n", {0.5f, -0.5f, 1000}},
      {"1,5 6\n", {1, 5, 6}},  // the comma is never a decimal mark
      {"3-4 5 6\n", {3, 5, 6}},
      {" \t,7,\t8 ,9,\t \r\n", {7, 8, 9}},
      {"1 - 2\n", {1}},  // a lone "-" ends the row
      {"- 5\n", {}},
      {" , ,\t\n", {}},
      {"\n", {}},
  };
  for (const auto& c : cases) {
    Scanned s = scan(c.line);
    EXPECT_EQ(s.kind, LineKind::kValues) << c.line;
    EXPECT_EQ(s.values, c.values) << c.line;
  }
}

TEST(ScanDataLine, ForeignCharacterMakesTheLineBadUnlessAnExclamationMarkMakesItAComment) {
  // The letters of "nan" and "inf" are foreign too, even after a sign.
  for (const char* line : {"1;2;3\n", "1 x 2\n", "1 2 \xe9\n", "1 - x\n", "1 2 3\x1a\n", "1 -nan 2\n", "-inf 1 2\n"}) {
    EXPECT_EQ(scan(line).kind, LineKind::kBad) << line;
  }
  for (const char* line : {"1 2 3 ! note\n", "!\n", "x;y ! text\n", "1 x 2 !\n", "1e39 !\n"}) {
    EXPECT_EQ(scan(line).kind, LineKind::kComment) << line;
  }
}

TEST(ScanDataLine, OverflowIsBadAndUnderflowGivesTheNearestFloat) {
  EXPECT_EQ(scan("1e39 2 3\n").kind, LineKind::kBad);
  EXPECT_EQ(scan("1 2 -1e39\n").kind, LineKind::kBad);

  Scanned zero = scan("1e-50 2 3\n");
  ASSERT_EQ(zero.kind, LineKind::kValues);
  ASSERT_EQ(zero.values.size(), 3u);
  EXPECT_EQ(zero.values[0], 0.0f);

  // 1e-40 lies between the subnormals 71362 and 71363 times 2^-149
  // (1e-40 * 2^149 = 71362.38).
  Scanned subnormal = scan("1e-40 2 3\n");
  ASSERT_EQ(subnormal.values.size(), 3u);
  EXPECT_EQ(subnormal.values[0], std::ldexp(71362.0f, -149));
}

TEST(ScanDataLine, ConversionIsCorrectlyRoundedToSinglePrecision) {
  // 1 + 2^-24 lies halfway between 1 and the next float, 1 + 2^-23. A decimal
  // just above it rounds up; through double it would land on the halfway
  // point first and then round to even, down to 1.
  const float above = std::nextafter(1.0f, 2.0f);
  const struct {
    const char* text;
    float value;
  } cases[] = {
      {"1.00000005960464477539063", above},
      {"1.0000000596046447753906", 1.0f},
      {"1.000000059604644775390625", 1.0f},  // the halfway point itself: to even
  };
  for (const auto& c : cases) {
    Scanned s = scan(c.text);
    ASSERT_EQ(s.values.size(), 1u) << c.text;
    EXPECT_EQ(s.values[0], c.value) << c.text;
    EXPECT_EQ(s.values[0], std::strtof(c.text, nullptr)) << c.text;
  }
}

TEST(ReadDataRow, FirstDataRowSetsBothCountsAndLaterRowsAreCheckedAgainstTheColumnCount) {
  Rows r("! head\n1 2 3\n! middle x;y\n4 5 6\n7 8\n");
  ASSERT_EQ(r.next(), 3);
  EXPECT_EQ(r.first(4), (std::vector<float>{1, 2, 3, 0}));
  EXPECT_EQ(r.shape.variableCount, 3);
  EXPECT_EQ(r.shape.columnCount, 3);

  // Column selection lowers variableCount; rows must still hold every column.
  r.shape.variableCount = 2;
  EXPECT_EQ(r.next(), 3);
  EXPECT_EQ(r.next(), -1);
  EXPECT_EQ(r.shape.variableCount, 2);
  EXPECT_EQ(r.shape.columnCount, 3);
}

TEST(ReadDataRow, BadLineLeavesTheCountsUnset) {
  Rows r("1 x 2\n1e39 2\n1 2\n");
  EXPECT_EQ(r.next(), -2);
  EXPECT_EQ(r.next(), -2);
  EXPECT_EQ(r.shape.variableCount, 0);
  EXPECT_EQ(r.next(), 2);
  EXPECT_EQ(r.shape.columnCount, 2);
}

TEST(ReadDataRow, CountMismatchIsToldWithTheLineAsRead) {
  Rows r("1 2 3\n1 2 3 4\n1 - 2\r\n1 2");
  ASSERT_EQ(r.next(), 3);
  EXPECT_EQ(r.next(), -1);
  EXPECT_EQ(r.first(5), (std::vector<float>{1, 2, 3, 4, 0}));
  EXPECT_EQ(r.next(), -1);
  EXPECT_EQ(r.first(2), (std::vector<float>{1, 0}));
  EXPECT_EQ(r.next(), -1);  // the last line has no line feed to show
  EXPECT_EQ(r.mismatches.seen, "1 2 3 4\n|4|3;1 - 2\r\n|1|3;1 2|2|3;");
}

TEST(ReadDataRow, LineWithoutValuesEndsTheDataAndStoresZero) {
  for (const char* end : {"\n", "\r\n", "- 5\n", " , ,\t\n"}) {
    Rows r(std::string("1 2 3\n") + end + "4 5 6\n");
    ASSERT_EQ(r.next(), 3);
    EXPECT_EQ(r.next(), 0) << end;
    EXPECT_EQ(r.row[0], 0.0f) << end;
  }
  for (const char* file : {"1 2 3\n! closing comment\n", "1 2 3\n"}) {
    Rows r(file);
    ASSERT_EQ(r.next(), 3);
    EXPECT_EQ(r.next(), 0) << file;
    EXPECT_EQ(r.row[0], 0.0f) << file;
  }
  Rows emptyFirst("\n1 2 3\n");
  EXPECT_EQ(emptyFirst.next(), 0);
  EXPECT_EQ(emptyFirst.shape.variableCount, 0);
}

// From a file the reader's buffer has to grow under a long line; a last line
// without line feed whose length is a power of two fills it exactly.
TEST(ReadDataRow, LinesOfAnyLengthAreReadWhole) {
  const std::string wide = "4" + std::string(99'996, ' ') + "5 6";  // 100,000 characters
  const std::string exact = "7 8 9" + std::string(16'378, ' ');    // 16,383 characters
  const std::string path = ::testing::TempDir() + "long_lines_" + std::to_string(getpid()) + ".txt";
  for (size_t last : {size_t{1} << 16, size_t{1} << 20, size_t{1} << 21}) {
    {
      std::ofstream file(path, std::ios::binary | std::ios::trunc);
      file << "1 2 3\n" << wide << '\n' << exact << "\n10 11 12\n13 14 15" << std::string(last - 8, ' ');
    }
    Rows r("");
    ASSERT_TRUE(r.in.open(path));
    for (float first : {1, 4, 7, 10, 13}) {
      ASSERT_EQ(r.next(), 3) << last;
      EXPECT_EQ(r.first(4), (std::vector<float>{first, first + 1, first + 2, 0})) << last;
    }
    EXPECT_EQ(r.next(), 0) << last;
  }
  std::remove(path.c_str());
}

TEST(ReadDataRow, ValuesBeyond8192AreCountedButNotStored) {
  auto numbers = [](int n) {
    std::string line;
    for (int i = 1; i <= n; ++i) line += std::to_string(i) + ' ';
    return line + '\n';
  };
  Rows r(numbers(10'000) + numbers(9'000));
  EXPECT_EQ(r.next(), 10'000);
  EXPECT_EQ(r.row[8191], 8192.0f);
  EXPECT_EQ(r.row[8192], 0.0f);
  EXPECT_TRUE(r.guardUntouched());

  EXPECT_EQ(r.next(), -1);
  EXPECT_TRUE(r.guardUntouched());
  EXPECT_TRUE(r.mismatches.seen.ends_with("9000 \n|9000|10000;"));
}

}  // namespace
}  // namespace fuzzyart
