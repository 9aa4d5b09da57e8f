// The row reader: what each kind of line yields, the counts set by the first
// row, the mismatch line, the end of the data, and lines of any length.
#include "data/row_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <tuple>

#include "base/cores.h"
#include "data/preparation.h"
#include "data/scan_ahead.h"
#include "e2e/child_process.h"
#include "fuzzyart/error.h"

namespace fuzzyart {
namespace {

constexpr float kUntouched = -777.0f;

TEST(ScanDataLine, EveryKindOfLine) {
  constexpr LineKind kValues = LineKind::kValues, kBad = LineKind::kBad, kComment = LineKind::kComment;
  const struct {
    const char* line;
    LineKind kind;
    std::vector<float> values;
  } cases[] = {
      {"1.5 2E+1 +7 +.5\n", kValues, {1.5f, 20, 7, 0.5f}},
      {".5 -.5 1e3\n", kValues, {0.5f, -0.5f, 1000}},
      {"1,,2,5 6\n", kValues, {1, 2, 5, 6}},  // the comma is never a decimal mark
      // Text glued to a value is passed over, marks too.
      {"3-4 2020-01-02 12.5.3 1e5e- 7+ 8.\n", kValues, {3, 2020, 12.5f, 1e5f, 7, 8}},
      {" \t,7,\t8 ,9,\t \r\n", kValues, {7, 8, 9}},
      {" , ,\t\n", kValues, {}},
      {"\n", kValues, {}},
      // Underflow gives the nearest float: 1e-40 lies between the subnormals
      // 71362 and 71363 times 2^-149 (1e-40 * 2^149 = 71362.38).
      {"1e-40\n", kValues, {std::ldexp(71362.0f, -149)}},
      // 1 + 2^-24 lies halfway between 1 and the next float. A decimal just
      // above it rounds up; through double it would land on the halfway point
      // first and then round to even, down to 1.
      {"1.00000005960464477539063", kValues, {std::nextafter(1.0f, 2.0f)}},
      {"1.0000000596046447753906", kValues, {1}},
      {"1.000000059604644775390625", kValues, {1}},  // the halfway point itself: to even
      // A foreign character (the letters of "nan" and "inf" too, even after
      // a sign; a ":" just past the digits), a field that begins no number
      // (a lone sign, point or exponent letter) or a value beyond single
      // precision makes the line bad...
      {"1;2;3\n", kBad, {}},
      {"1:5\n", kBad, {}},
      {"1.2:5\n", kBad, {}},
      {"1 - 2\n", kBad, {}},
      {"- 5\n", kBad, {}},
      {"1 -. 2\n", kBad, {}},
      {"1 E 2\n", kBad, {}},
      {"1 + 2\n", kBad, {}},
      {"+-7\n", kBad, {}},
      {"1 x 2\n", kBad, {}},
      {"1 2 \xe9\n", kBad, {}},
      {"1 2 3\x1a\n", kBad, {}},
      {"1 -nan 2\n", kBad, {}},
      {"1e39 2 3\n", kBad, {}},
      // ...unless a "!" anywhere makes it a comment.
      {"1 2 3 ! note\n", kComment, {}},
      {"1 x 2 !\n", kComment, {}},
      {"1e39 !\n", kComment, {}},
      {"- 5 ! note\n", kComment, {}},
  };
  // Alone, and in runs of lines whose signs came seldom and often.
  for (const int negatives : {-1, 0, 50}) {
    for (const auto& c : cases) {
      std::vector<float> values(kRowBufferSize, kUntouched);
      int32_t count = -1;
      SignTally signs{100, negatives};
      EXPECT_EQ(negatives < 0 ? scanDataLine(c.line, values.data(), count)
                              : scanDataLine(c.line, values.data(), count, signs),
                c.kind)
          << c.line;
      values.resize(c.kind == kValues ? static_cast<size_t>(count) : 0);
      EXPECT_EQ(values, c.values) << c.line << " after " << negatives << " negatives";
    }
  }
}

// A reader over text in memory. The row buffer has guard room behind the
// kRowBufferSize floats that the reader may use.
struct Rows {
  explicit Rows(std::string text) : row(kRowBufferSize + 64, kUntouched) {
    in.openMemory("rows", std::make_shared<const std::string>(std::move(text)));
  }
  int32_t next() { return readDataRow(row.data(), in, shape); }
  std::vector<float> first(int n) const { return {row.begin(), row.begin() + n}; }

  TextFile in;
  RowShape shape;
  std::vector<float> row;
};

// The first data row sets both counts; a row of another count is refused; a
// line without values ends the data, as does the end of the file, and each
// stores 0.0 after the values.
TEST(ReadDataRow, CountsMismatchesAndEnds) {
  Rows r("! head\n1 2 3\n! x;y\n1 2 3 4\n1 2\r\n4 5 6\n\n7 8 9\n! closing comment\n");
  ASSERT_EQ(r.next(), 3);
  EXPECT_EQ(r.first(4), (std::vector<float>{1, 2, 3, 0}));
  EXPECT_EQ(r.next(), -1);
  EXPECT_EQ(r.first(5), (std::vector<float>{1, 2, 3, 4, 0}));
  EXPECT_EQ(r.next(), -1);
  EXPECT_EQ(r.first(3), (std::vector<float>{1, 2, 0}));
  EXPECT_EQ(r.next(), 3);
  EXPECT_EQ(r.next(), 0);
  EXPECT_EQ(r.row[0], 0.0f);
  EXPECT_EQ(r.next(), 3);
  EXPECT_EQ(r.next(), 0);
  EXPECT_EQ(r.row[0], 0.0f);
}

// A bad row's place as the file shows it: the line counted with comments,
// the field at fault (cut to 40 bytes) or the two counts.
TEST(ReadDataRow, BadRowTellsItsPlace) {
  testing::TempDir dir;
  const std::string path = dir.file("rows");
  const std::vector<std::pair<std::string, BadRowPlace>> cases = {
      {"! a\n1 2\n\t3,4e\xff 5\n", {3, 2, "4e\xff", 0, 0, true}},
      {"1 2\r\n! b\n3 4 5\n", {3, 0, "", 3, 2, false}},
      {"1 " + std::string(45, 'a') + "\n", {1, 2, std::string(40, 'a'), 0, 0, true}},
  };
  for (const auto& [text, want] : cases) {
    testing::writeFile(path, text);
    try {
      readDataFile(path);
      ADD_FAILURE() << text;
    } catch (const BadRowError& e) {
      const BadRowPlace& got = e.place();
      EXPECT_EQ(std::tie(got.line, got.value, got.field, got.values, got.firstRowValues, got.holdsLetters),
                std::tie(want.line, want.value, want.field, want.values, want.firstRowValues, want.holdsLetters))
          << text;
    }
  }
}

// A line of the most characters a line may hold is read whole (the last one
// too, without a line feed); one character more makes the row bad, a
// comment's too, however little it holds.
TEST(ReadDataRow, LinesUpToTheLongestAllowedAreReadWhole) {
  const std::string longest = "4" + std::string(kMaxLineLength - 4, ' ') + "5 6";
  testing::TempDir dir;
  const std::string path = dir.file("rows");
  testing::writeFile(path, "1 2 3\n" + longest + "\n7 8 9\n" + longest);
  EXPECT_EQ(readDataFile(path).values, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9, 4, 5, 6}));
  for (const std::string& text : {"1 2 3\n " + longest + "\n", "1 2 3\n!" + longest}) {
    Rows r(text);
    EXPECT_EQ(r.next(), 3);
    EXPECT_EQ(r.next(), -2);
  }
}

// Reading in blocks, scanned ahead on a second thread or by the caller
// alone, gives the rows, the values, the mismatch reports and the end of
// reading line by line.
TEST(ReadDataRow, ScanAheadGivesTheRowsOfReadingLineByLine) {
  std::string text;
  for (int i = 0; i < 60'000; ++i) {
    text += std::to_string(i % 997) + ".25 -" + std::to_string(i) + "e-3 7\n" + (i % 999 == 0 ? "! note\n" : "");
  }
  text += "1 2\n" + std::string(300'000, ' ') + "4 5 6\n\n9 9 9\n";  // a mismatch, a long line, the end
  testing::TempDir dir;
  testing::writeFile(dir.file("rows"), text);
  struct Told : DetailedObserver {
    void onRowMismatch(std::string_view line, int, int) override { lines += line; }
    std::string lines;
  } told[3];
  std::vector<float> rows[3];
  bool failed[3];
  for (int way = 0; way < 3; ++way) {
    TextFile in;
    ASSERT_TRUE(in.open(dir.file("rows")));
    std::optional<ScanAhead> ahead;
    if (way > 0) ahead.emplace(in, way == 2);
    RowShape shape;
    std::vector<float> row(kRowBufferSize);
    for (int32_t n = 1; n != 0;) {
      if (way == 0) {
        n = readDataRow(row.data(), in, shape, &told[way]);
      } else {
        // The values where they were scanned, ended by the 0.0 readDataRow stores.
        float* values = nullptr;
        n = ahead->nextInPlace(values, shape, &told[way]);
        if (n >= 0) std::copy_n(values, n, row.begin());
        row[static_cast<size_t>(std::max(n, 0))] = 0.0f;
      }
      rows[way].push_back(static_cast<float>(n));
      rows[way].insert(rows[way].end(), row.begin(), row.begin() + (n >= 0 ? n + 1 : 0));
    }
    failed[way] = way == 0 ? in.failed() : ahead->failed();
  }
  EXPECT_EQ(rows[0].size(), 60'001 * 5 + 3);
  EXPECT_EQ(told[0].lines, "1 2\n");
  for (int way = 1; way < 3; ++way) {
    EXPECT_TRUE(rows[way] == rows[0]) << "way " << way;
    EXPECT_EQ(told[way].lines, told[0].lines);
    EXPECT_EQ(failed[way], failed[0]);
  }
}

// A cap of one thread keeps the first pass on the caller's thread (a user
// who runs one job per core asks for no more); with two, the text is read
// ahead on a second one.
TEST(Preparation, ThreadCapHoldsForReadingAhead) {
  std::string text;
  for (int i = 0; i < 200'000; ++i) text += std::to_string(i % 97) + " 1." + std::to_string(i % 7) + "\n";
  testing::TempDir dir;
  testing::writeFile(dir.file("rows"), text);
  auto threadsNow = [] {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return std::distance(begin(tasks), end(tasks));
  };
  struct Most : Observer {
    explicit Most(std::function<long()> count) : count(std::move(count)) {}
    bool onRow(RowLoop, int64_t counter, int) override {
      if (counter % 4096 == 0) most = std::max(most, count());
      return true;
    }
    std::function<long()> count;
    long most = 0;
  };
  const long before = threadsNow();
  for (const int cap : {1, 2}) {
    TextFile in;
    ASSERT_TRUE(in.open(dir.file("rows")));
    Preparation preparation(in, ScalingOptions{});
    preparation.limitThreads(cap);
    Most most(threadsNow);
    preparation.measure(&most);
    EXPECT_EQ(preparation.dataRows(), 200'000);
    if (cap == 1 || usableCores() > 1) {
      EXPECT_EQ(most.most, before + cap - 1) << "cap " << cap;
    }
  }
}

// Both passes over a file, its text read again or its values kept (with one
// and with two threads), give the records of the table read whole and
// prepared in memory, which are the scaling written out plainly.
void expectKeptValuesGiveTheTextsRecords(const std::string& path, const ScalingOptions& options) {
  std::string records[3];
  for (int way = 0; way < 3; ++way) {
    TextFile in;
    ASSERT_TRUE(in.open(path));
    Preparation preparation(in, options);
    if (way > 0) preparation.keepValues(size_t{64} << 20);
    preparation.limitThreads(way == 1 ? 1 : 2);
    preparation.measure(nullptr);
    RecordFileWriter out;
    ASSERT_TRUE(out.create(path + ".BIN"));
    preparation.scale(preparation.scaling(), out, nullptr);
    ASSERT_TRUE(out.close());
    records[way] = testing::readFile(path + ".BIN");
  }
  const RowTable table = readDataFile(path);
  const Scaling scaling = makeScaling(measureRanges(table.values, table.columns, false, "rows"), options, "rows");
  std::vector<float> prepared(static_cast<size_t>(table.rows * scaling.inputLength()));
  prepareRows(scaling, table.values, prepared, false, "rows");
  for (int64_t r = 0; r < table.rows; r += 997) {
    const float* record = prepared.data() + r * scaling.inputLength();
    for (int k = 0; k < scaling.variableCount(); ++k) {
      const double x = table.values[static_cast<size_t>(r * table.columns + scaling.columns[k])];
      const auto v = static_cast<float>((x - scaling.min[k]) / (double{scaling.max[k]} - scaling.min[k]));
      ASSERT_EQ(record[k], v) << "row " << r;
      if (options.complementCoding) {
        ASSERT_EQ(record[scaling.variableCount() + k], 1.0f - v) << "row " << r;
      }
    }
  }
  ASSERT_EQ(records[0].size(), prepared.size() * sizeof(float));
  EXPECT_EQ(std::memcmp(records[0].data(), prepared.data(), records[0].size()), 0);
  EXPECT_TRUE(records[1] == records[0]);
  EXPECT_TRUE(records[2] == records[0]);
}

// Decimals over several kept blocks, their signs seldom in the first half
// and at random in the second; some columns or all with complements, and
// all alone.
TEST(Preparation, KeptValuesGiveTheRecordsOfTheTextReadAgain) {
  std::string text;
  for (int i = 0; i < 160'000; ++i) {
    for (int c = 0; c < 7; ++c) {
      const bool negative = i < 80'000 ? i % 97 == c : (i * 7 + c * 13) % 11 < 5;
      text.append(negative ? "-" : "")
          .append(std::to_string((i * 31 + c * 17) % 1009 + c))
          .append(".")
          .append(std::to_string((i * 7919 + c) % 100'000))
          .append(c < 6 ? " " : "\n");
    }
  }
  testing::TempDir dir;
  testing::writeFile(dir.file("rows"), text);
  for (const ScalingOptions& options :
       {ScalingOptions{false, true, {0, 2, 3, 4, 5, 6}}, ScalingOptions{false, true, {}}, ScalingOptions{}}) {
    SCOPED_TRACE(options.columns.size());
    expectKeptValuesGiveTheTextsRecords(dir.file("rows"), options);
  }
}

// A stop and a failed write in the second pass come after the same reports,
// with the same rows written, whether the values were kept or the text is
// read again.
TEST(Preparation, SecondPassStopsAsRowByRow) {
  std::string text;
  for (int i = 0; i < 100'000; ++i) text.append(std::to_string(i % 977)).append(" ").append(std::to_string(i % 13)).append(".5\n");
  testing::TempDir dir;
  testing::writeFile(dir.file("rows"), text);
  struct StopAt : Observer {
    int64_t at = 0;
    int64_t reports = 0;
    bool onRow(RowLoop loop, int64_t counter, int) override {
      if (loop != RowLoop::kScale) return true;
      ++reports;
      return counter != at;
    }
  };
  constexpr int64_t kStop = 77'777;  // the row the observer stops at
  for (const bool full : {false, true}) {
    int64_t reports[2];
    std::string written[2];
    for (int keep = 0; keep < 2; ++keep) {
      TextFile in;
      ASSERT_TRUE(in.open(dir.file("rows")));
      Preparation preparation(in, ScalingOptions{false, true, {}});
      if (keep == 1) preparation.keepValues(size_t{64} << 20);
      preparation.measure(nullptr);
      StopAt observer;
      observer.at = 100'000 + kStop;  // the counter runs on from the first pass
      RecordFileWriter out;
      if (full) {
        // Every write fails there, as on a full disk.
        out.adopt(::open("/dev/full", O_WRONLY | O_CLOEXEC), "/dev/full");
      } else {
        ASSERT_TRUE(out.create(dir.file("BIN")));
      }
      try {
        preparation.scale(preparation.scaling(), out, &observer);
        ADD_FAILURE() << "no stop";
      } catch (const Error& e) {
        EXPECT_EQ(e.kind(), full ? ErrorKind::kWriteFailed : ErrorKind::kCancelled);
      }
      out.discard();
      reports[keep] = observer.reports;
      if (!full) written[keep] = testing::readFile(dir.file("BIN"));
    }
    SCOPED_TRACE(full);
    EXPECT_EQ(reports[0], reports[1]);
    EXPECT_EQ(reports[1] < kStop + 1, full);  // the full device stops it first
    EXPECT_TRUE(written[0] == written[1]);
    if (!full) {
      EXPECT_EQ(written[1].size(), size_t{kStop} * 4 * sizeof(float));
    }
  }
}

TEST(ReadDataRow, ValuesBeyond8192AreCountedButNotStored) {
  std::string line;
  for (int i = 1; i <= 10'000; ++i) line += std::to_string(i) + ' ';
  Rows r(line);
  EXPECT_EQ(r.next(), 10'000);
  EXPECT_EQ(r.row[8191], 8192.0f);
  EXPECT_EQ(r.row[8192], 0.0f);
  EXPECT_EQ(std::vector<float>(r.row.begin() + kRowBufferSize, r.row.end()), std::vector<float>(64, kUntouched));
}

}  // namespace
}  // namespace fuzzyart
