// The library through its public face: learning and loading, the result
// files, the limits, the record file's faults, a data file that changes
// between the passes, identity with the command line, and networks in threads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "e2e/process.h"
#include "fuzzyart/fuzzyart.h"
#include "unit/memory_stream.h"

namespace fuzzyart {
namespace {

using testing::readFileBytes;
using testing::TempDir;
using testing::writeFileBytes;

std::vector<float> prepare(const RowTable& table, const Scaling& scaling) {
  std::vector<float> out(static_cast<size_t>(table.rows * scaling.inputLength()));
  prepareRows(scaling, table.values, out, false, "data");
  return out;
}

std::vector<uint32_t> weightBits(const Network& network) {
  std::vector<uint32_t> bits;
  for (int j = 0; j < network.categoryCount(); ++j) {
    for (float w : network.weights(j)) bits.push_back(std::bit_cast<uint32_t>(w));
  }
  return bits;
}

std::string errorOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(Network, WorkedExampleOfThreeRows) {
  // The second row resonates with category 0 (match 0.4/0.6) and moves it to
  // about (0.2, 0.24); the third fails the match (0.44/1.8) and is new.
  const std::vector<float> rows = {0.2f, 0.6f, 0.4f, 0.2f, 0.9f, 0.9f};
  MemoryRows source(rows, 2);
  NetworkParameters p;
  p.iterations = 1;
  Network network(p, 2);
  network.learn(source);
  ASSERT_EQ(network.categoryCount(), 2);
  const float keep = 1.0f - 0.9f;
  EXPECT_EQ(network.weights(0), (std::vector<float>{static_cast<float>(double{0.9f} * 0.2f + double{keep} * 0.2f),
                                                    static_cast<float>(double{0.9f} * 0.2f + double{keep} * 0.6f)}));
  EXPECT_EQ(network.weights(1), (std::vector<float>{0.9f, 0.9f}));
  EXPECT_EQ(network.currentBeta(), 0.9f);
  EXPECT_EQ(network.classify(std::vector<float>{0.9f, 0.9f}), 1);
  EXPECT_EQ(network.passes(), 1);
}

// Two variables with complement coding; ranges 0..1 and 10..30 bring the
// weights back to values that 6 digits hold exactly. Category 0's complement
// half is not 1 minus its first half, as learning can leave it.
TEST(ResultFiles, LoadingTheWrittenFileRebuildsTheComplements) {
  Scaling scaling;
  scaling.columnCount = 2;
  scaling.columns = {0, 1};
  scaling.min = {0.0f, 10.0f};
  scaling.max = {1.0f, 30.0f};
  scaling.complementCoding = true;
  Network stored(NetworkParameters{}, 4);
  stored.addCategory(std::vector<float>{0.25f, 0.5f, 0.5f, 0.25f});
  stored.addCategory(std::vector<float>{0.0f, 0.125f, 1.0f, 0.875f});
  test::MemoryFile fac;
  const std::vector<int64_t> counts = {17, 0};
  writeCategoryWeightFile(fac.file, stored, scaling, counts, "DATA.TXT", 0);
  const std::string text = fac.text();
  EXPECT_EQ(text, "0.25         20           \n0            12.5         \n");

  TextFile in;
  in.openMemory("DATA.FAC", std::make_shared<const std::string>(text));
  Network loaded(NetworkParameters{}, 4);
  loadCategories(in, scaling, loaded);
  ASSERT_EQ(loaded.categoryCount(), 2);
  EXPECT_EQ(loaded.weights(0), (std::vector<float>{0.25f, 0.5f, 0.75f, 0.5f}));
  EXPECT_EQ(loaded.weights(1), stored.weights(1));
}

// Counts are 64-bit: past 2^31 they print whole.
TEST(ResultFiles, CountPastTwoToThe31IsPrintedWhole) {
  Scaling scaling;
  scaling.columnCount = 2;
  scaling.columns = {0, 1};
  scaling.min = {0.0f, 0.0f};
  scaling.max = {1.0f, 1.0f};
  Network network(NetworkParameters{}, 2);
  network.addCategory(std::vector<float>{0.25f, 0.75f});
  Tally tally;
  tally.counts = {(int64_t{1} << 31) - 2};
  const std::vector<float> rows = {0.25f, 0.75f, 0.25f, 0.75f, 0.25f, 0.75f};
  MemoryRows source(rows, 2);
  network.classify(source, [&](int64_t, int category, std::span<const float> input) { tally.add(category, input); });
  test::MemoryFile fac;
  writeCategoryWeightFile(fac.file, network, scaling, tally.counts, "DATA.TXT", 1);
  EXPECT_EQ(fac.text(),
            "! Category/weightfile for datafile: DATA.TXT\n"
            "! No.of Iter:10 \xe0:0.000 \xe1:0.900 Vigilance:0.500 Itp:1.000 CompCode:N\n"
            "Counts=2147483649 0.25         0.75         \n");
}

TEST(Data, InputLengthLimitHoldsAtExactly8192Values) {
  for (int columns : {4096, 4097, 8192, 8193}) {
    ColumnRanges ranges;
    ranges.min.assign(static_cast<size_t>(columns), 0.0f);
    ranges.max.assign(static_cast<size_t>(columns), 1.0f);
    for (bool complements : {false, true}) {
      ScalingOptions options;
      options.complementCoding = complements;
      const bool fits = (complements ? 2 * columns : columns) <= 8192;
      EXPECT_EQ(errorOf([&] { makeScaling(ranges, options, "wide"); }),
                fits ? "no error" : "Too many datacolumnes. Max:8192\n")
          << columns << (complements ? " with complements" : "");
    }
  }
}

TEST(RecordFile, FailuresAreNeverReportedAsSuccess) {
  RecordFileWriter unopened;
  EXPECT_TRUE(unopened.close());

  // A write that fails when the buffer is drained in the middle of the file.
  RecordFileWriter full;
  ASSERT_TRUE(full.create("/dev/full"));
  const std::vector<float> record(1024, 0.5f);
  bool allWritten = true;
  for (int i = 0; i < 512 && allWritten; ++i) allWritten = full.write(record.data(), record.size());
  EXPECT_FALSE(allWritten);
  EXPECT_FALSE(full.close());

  // A read error must not pass for the end of the rows: a directory opens
  // for reading, and every read of it fails.
  TempDir dir;
  RecordFileReader rows;
  ASSERT_TRUE(rows.open(dir.path(), 2));
  Network network(NetworkParameters{}, 2);
  EXPECT_EQ(errorOf([&] { network.learn(rows); }), "Can't find/open file: " + dir.path() + "\n\n");
  EXPECT_EQ(errorOf([&] { network.classify(rows, [](int64_t, int, std::span<const float>) {}); }),
            "Can't find/open file: " + dir.path() + "\n\n");
}

// The second pass reads the data file again; a file changed since the first
// pass is a bad file, and a grown one gives the first pass's rows only.
TEST(Data, FileChangedBetweenThePasses) {
  TempDir dir;
  const std::string path = dir.file("DATA.TXT");
  const struct {
    const char* rows;
    const char* error;
  } changes[] = {
      {"1 2\n3 4\n9 9\n", "no error"},
      {"1 2\n3 4 5\n", "Bad datafile: @  Datarow:1\n"},  // another count
      {"1 2\n3 x\n", "Bad datafile: @  Datarow:1\n"},    // a bad character
      {"1 2\n3 5\n", "Bad datafile: @  Datarow:1\n"},    // outside the first pass's range
      {"1 2\n", "Bad datafile: @  Datarow:1\n"},         // cut short
  };
  for (const auto& change : changes) {
    writeFileBytes(path, "1 2\n3 4\n");
    TextFile data;
    ASSERT_TRUE(data.open(path));
    Preparation preparation(data, ScalingOptions{});
    preparation.measure(nullptr);
    writeFileBytes(path, change.rows);
    RecordFileWriter out;
    ASSERT_TRUE(out.create(dir.file("DATA.BIN")));
    std::string expected = change.error;
    if (size_t at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, path);
    EXPECT_EQ(errorOf([&] { preparation.scale(preparation.scaling(), out, nullptr); }), expected) << change.rows;
    EXPECT_TRUE(out.close());
    if (expected == "no error") {
      EXPECT_EQ(std::filesystem::file_size(dir.file("DATA.BIN")), 4 * sizeof(float));
    }
  }
}

// The library on a bundled data file gives the command line's files, byte for
// byte: the prepared rows, the categories, the value and centre files.
TEST(CommandLine, LibraryGivesTheSameFiles) {
  struct Run {
    const char* data;
    std::vector<std::string> switches;
    NetworkParameters parameters;
    ScalingOptions options;
  };
  NetworkParameters slow;
  slow.beta = 0.6f;
  slow.itp = 0.7f;
  slow.vigilance = 0.65f;
  NetworkParameters fast;
  fast.vigilance = 0.4f;
  const Run runs[] = {
      {"iris.dat", {"-V0.4", "-M", "-W"}, fast, {false, true, {}}},
      {"wine.dat", {"-G0.6", "-F0.7", "-V0.65", "-N", "-W"}, slow, {true, false, {}}},
  };
  for (const Run& run : runs) {
    SCOPED_TRACE(run.data);
    TempDir dir;
    const std::string data = dir.file(run.data);
    std::filesystem::copy_file(std::string(FUZZYART_EXAMPLES "/") + run.data, data);
    std::vector<std::string> args = run.switches;
    args.insert(args.begin(), data);
    args.push_back("-Q");
    const auto result = testing::runProcess({FUZZYART_BINARY, args, testing::cleanEnvironment(), dir.path()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string base = data.substr(0, data.rfind('.'));

    const RowTable table = readDataFile(data);
    const Scaling scaling =
        makeScaling(measureRanges(table.values, table.columns, run.options.normalise, data), run.options, data);
    const std::vector<float> prepared = prepare(table, scaling);
    EXPECT_EQ(readFileBytes(base + ".BIN"),
              std::string(reinterpret_cast<const char*>(prepared.data()), prepared.size() * sizeof(float)));
    MemoryRows rows(prepared, static_cast<size_t>(scaling.inputLength()));
    Network network(run.parameters, scaling.inputLength());
    network.learn(rows);
    Tally tally;
    tally.counts.assign(static_cast<size_t>(network.categoryCount()), 0);
    reserveCentreSums(tally, network.categoryCount(), scaling.variableCount());
    test::MemoryFile faf, fac, bkc;
    network.classify(rows, [&](int64_t, int category, std::span<const float> input) {
      ASSERT_GE(category, 0);
      writeValueLine(faf.file, category);
      tally.add(category, input);
    });
    writeCategoryWeightFile(fac.file, network, scaling, tally.counts, data, 0);
    writeCategoryCentreFile(bkc.file, tally, scaling, data, 0);
    EXPECT_EQ(faf.text(), readFileBytes(base + ".FAF"));
    EXPECT_EQ(fac.text(), readFileBytes(base + ".FAC"));
    EXPECT_EQ(bkc.text(), readFileBytes(base + ".BKC"));
  }
}

// No state is shared between networks: two learning at once in two threads
// give the bits of one after the other, and classification gives the same
// categories on any number of threads.
TEST(Network, ThreadsGiveTheSameBits) {
  const RowTable table = readDataFile(FUZZYART_EXAMPLES "/wine.dat");
  ScalingOptions options;
  options.complementCoding = true;
  const Scaling scaling = makeScaling(measureRanges(table.values, table.columns, false, "wine"), options, "wine");
  const std::vector<float> prepared = prepare(table, scaling);
  NetworkParameters p;
  p.vigilance = 0.9f;
  p.beta = 0.3f;
  p.itp = 0.9f;
  auto learnt = [&](float vigilance) {
    NetworkParameters q = p;
    q.vigilance = vigilance;
    MemoryRows rows(prepared, static_cast<size_t>(scaling.inputLength()));
    Network network(q, scaling.inputLength());
    network.learn(rows);
    return network;
  };
  const std::vector<uint32_t> first = weightBits(learnt(0.9f));
  const std::vector<uint32_t> second = weightBits(learnt(0.95f));
  std::vector<uint32_t> together[2];
  std::thread a([&] { together[0] = weightBits(learnt(0.9f)); });
  std::thread b([&] { together[1] = weightBits(learnt(0.95f)); });
  a.join();
  b.join();
  EXPECT_EQ(together[0], first);
  EXPECT_EQ(together[1], second);

  // Rows repeated past a block of 2048, so that several threads share one.
  const Network network = learnt(0.95f);
  std::vector<float> many;
  for (int copy = 0; copy < 30; ++copy) many.insert(many.end(), prepared.begin(), prepared.end());
  std::vector<int> categories[3];
  const int threads[3] = {1, 2, 7};
  for (int k = 0; k < 3; ++k) {
    MemoryRows rows(many, static_cast<size_t>(scaling.inputLength()));
    network.classify(
        rows, [&](int64_t, int category, std::span<const float>) { categories[k].push_back(category); }, nullptr,
        ClassifyOptions{threads[k]});
  }
  EXPECT_GT(network.categoryCount(), 50);
  EXPECT_EQ(categories[1], categories[2]);
  EXPECT_EQ(categories[1], categories[0]);
}

}  // namespace
}  // namespace fuzzyart
