// The library through its public face: identity with the command line,
// networks in threads, the limits; and the command line's own record and
// text files and preparation: their faults, a data file that changes between
// the passes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "data/preparation.h"
#include "data/record_file.h"
#include "results/result_streams.h"
#include "e2e/child_process.h"
#include "fuzzyart/fuzzyart.h"

namespace fuzzyart {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

std::vector<float> prepare(const std::string& path, const ScalingOptions& options, Scaling& scaling) {
  const RowTable table = readDataFile(path);
  scaling = makeScaling(measureRanges(table.values, table.columns, options.normalise, path), options, path);
  std::vector<float> out(static_cast<size_t>(table.rows * scaling.inputLength()));
  prepareRows(scaling, table.values, out, false, path);
  return out;
}

std::string errorOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

// The library on a bundled data file gives the command line's files, byte for
// byte: the prepared rows, the categories, the value and centre files saved
// at their paths. A row classified alone gets the category it gets among the
// others, and the network tells how far it has learnt.
TEST(CommandLine, LibraryGivesTheSameFiles) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    NetworkParameters parameters;
    ScalingOptions options;
  } runs[] = {
      {"iris", {"iris.dat", "-V0.4", "-M", "-W", "-Q"}, {.vigilance = 0.4f}, {.complementCoding = true, .columns = {}}},
      {"wine", {"wine.dat", "-G0.6", "-F0.7", "-V0.65", "-N", "-W", "-Q"},
       {.beta = 0.6f, .vigilance = 0.65f, .itp = 0.7f}, {.normalise = true, .columns = {}}},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.name);
    TempDir dir;
    const std::string data = dir.file(run.args[0]);
    const std::string base = dir.file(run.name);
    std::filesystem::copy_file(FUZZYART_EXAMPLES "/" + run.args[0], data);
    testing::ChildProcess program(testing::ChildProcess::kPipes, FUZZYART_BINARY, dir.path, run.args,
                                  testing::cleanEnvironment());
    ASSERT_EQ(program.finish().exitCode, 0) << program.console;

    Scaling scaling;
    const std::vector<float> prepared = prepare(data, run.options, scaling);
    EXPECT_EQ(readFile(base + ".BIN"),
              std::string(reinterpret_cast<const char*>(prepared.data()), prepared.size() * sizeof(float)));
    MemoryRows rows(prepared, static_cast<size_t>(scaling.inputLength()));
    Network network(run.parameters, scaling.inputLength());
    network.learn(rows);
    float beta = run.parameters.beta;  // shrunk in single precision after every pass
    for (int pass = 0; pass < 10; ++pass) beta = beta * run.parameters.itp;
    EXPECT_TRUE(network.passes() == 10 && network.currentBeta() == beta);
    const Classification result = classifyAll(network, rows, scaling);
    for (size_t row = 0; row < result.categories.size(); ++row) {
      ASSERT_GE(result.categories[row], 0);
      const size_t length = static_cast<size_t>(scaling.inputLength());
      EXPECT_EQ(network.classify(std::span(prepared).subspan(row * length, length)), result.categories[row]);
    }
    saveValueFile(dir.file("lib.FAF"), result.categories);
    saveCategoryFile(dir.file("lib.FAC"), network, scaling, result.tally.counts());
    saveCentreFile(dir.file("lib.BKC"), result.tally, scaling);
    for (const char* extension : {".FAF", ".FAC", ".BKC"}) {
      EXPECT_EQ(readFile(dir.file("lib") + extension), readFile(base + extension)) << extension;
    }
  }
}

// No state is shared between networks: two learning at once in two threads
// give the bits of one after the other, and classification gives the same
// categories on any number of threads.
TEST(Network, ThreadsGiveTheSameBits) {
  Scaling scaling;
  const std::vector<float> prepared = prepare(FUZZYART_EXAMPLES "/wine.dat", {false, true, {}}, scaling);
  auto learnt = [&](float vigilance) {
    MemoryRows rows(prepared, static_cast<size_t>(scaling.inputLength()));
    Network network({.beta = 0.3f, .vigilance = vigilance, .itp = 0.9f}, scaling.inputLength());
    network.learn(rows);
    return network;
  };
  // Weights are finite and not negative: equal values are equal bits.
  auto weightsOf = [](const Network& network) {
    std::vector<std::vector<float>> weights;
    for (int j = 0; j < network.categoryCount(); ++j) weights.push_back(network.weights(j));
    return weights;
  };
  const auto first = weightsOf(learnt(0.9f));
  const auto second = weightsOf(learnt(0.95f));
  std::vector<std::vector<float>> together[2];
  std::thread a([&] { together[0] = weightsOf(learnt(0.9f)); });
  std::thread b([&] { together[1] = weightsOf(learnt(0.95f)); });
  a.join();
  b.join();
  EXPECT_EQ(together[0], first);
  EXPECT_EQ(together[1], second);

  // Rows repeated over many blocks of 2048, so that several threads share
  // each, often enough for a race between them to show.
  const Network network = learnt(0.95f);
  std::vector<float> many;
  for (int copy = 0; copy < 200; ++copy) many.insert(many.end(), prepared.begin(), prepared.end());
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

TEST(Data, InputLengthLimitHoldsAtExactly8192Values) {
  for (int columns : {4096, 4097, 8192, 8193}) {
    ColumnRanges ranges;
    ranges.min.assign(static_cast<size_t>(columns), 0.0f);
    ranges.max.assign(static_cast<size_t>(columns), 1.0f);
    for (bool complements : {false, true}) {
      const bool fits = (complements ? 2 * columns : columns) <= 8192;
      EXPECT_EQ(errorOf([&] { makeScaling(ranges, {.complementCoding = complements, .columns = {}}, "wide"); }),
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
  ASSERT_TRUE(rows.open(dir.path, 2));
  Network network(NetworkParameters{}, 2);
  EXPECT_EQ(errorOf([&] { network.learn(rows); }), "Can't find/open file: " + dir.path + "\n\n");
  EXPECT_EQ(errorOf([&] { network.classify(rows, [](int64_t, int, std::span<const float>) {}); }),
            "Can't find/open file: " + dir.path + "\n\n");
  // Nor for the end of a text: the library's reading of a table, the data
  // file's first pass, the category file's first reading.
  EXPECT_EQ(errorOf([&] { readDataFile(dir.path); }), "Can't find/open file: " + dir.path + "\n\n");
  TextFile text;
  ASSERT_TRUE(text.open(dir.path));
  Preparation preparation(text, ScalingOptions{});
  EXPECT_EQ(errorOf([&] { preparation.measure(nullptr); }), "Can't find/open file: " + dir.path + "\n\n");
  ColumnRanges ranges{{0.0f, 0.0f}, {1.0f, 1.0f}};
  EXPECT_EQ(errorOf([&] { widenByCategoryFile(text, ranges); }), "Can't find/open file: " + dir.path + "\n");

  // A file that holds other records than were written (another run wrote
  // to it) fails as a read: fewer, more, or a piece of one.
  const std::string bin = dir.file("R.BIN");
  for (const size_t floats : {4, 6, 8, 7}) {
    writeFile(bin, std::string(floats * sizeof(float), '\0'));
    ASSERT_TRUE(rows.open(bin, 2));
    rows.expectRecords(3);
    const Network empty(NetworkParameters{}, 2);
    EXPECT_EQ(errorOf([&] { empty.classify(rows, [](int64_t, int, std::span<const float>) {}); }),
              floats == 6 ? "no error" : "Can't find/open file: " + bin + "\n\n")
        << floats;
  }
}

// The second pass reads the data file again; a file changed since the first
// pass is a bad file, and a grown one gives the first pass's rows only.
TEST(Data, FileChangedBetweenThePasses) {
  TempDir dir;
  const std::string path = dir.file("DATA.TXT");
  const std::string bad = "Bad datafile: " + path + "  Datarow:1\n";
  const std::pair<const char*, std::string> changes[] = {
      {"1 2\n3 4\n9 9\n", "no error"},
      {"1 2\n3 4 5\n", bad},  // another count
      {"1 2\n3 x\n", bad},    // a bad character
      {"1 2\n3 5\n", bad},    // outside the first pass's range
      {"1 2\n", bad},         // cut short
  };
  for (const auto& [rows, error] : changes) {
    writeFile(path, "1 2\n3 4\n");
    TextFile data;
    ASSERT_TRUE(data.open(path));
    Preparation preparation(data, ScalingOptions{});
    preparation.measure(nullptr);
    writeFile(path, rows);
    RecordFileWriter out;
    ASSERT_TRUE(out.create(dir.file("DATA.BIN")));
    EXPECT_EQ(errorOf([&] { preparation.scale(preparation.scaling(), out, nullptr); }), error) << rows;
    EXPECT_TRUE(out.close());
    EXPECT_EQ(std::filesystem::file_size(dir.file("DATA.BIN")), (error == "no error" ? 4 : 2) * sizeof(float)) << rows;
  }
}

}  // namespace
}  // namespace fuzzyart
