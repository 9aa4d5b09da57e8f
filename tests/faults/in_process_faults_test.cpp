// Faults that only a seam of the test binary can make: a data file that
// changes between the two passes of the preparation, and a memory reservation
// that fails. Each run goes through the in-process entry, in a fresh
// directory, with the console held in memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "data/preparation.h"
#include "e2e/process.h"
#include "engine/category_table.h"
#include "run/run_driver.h"
#include "unit/console_capture.h"

namespace fuzzyart {
namespace {

namespace fs = std::filesystem;

class InProcessFault : public ::testing::Test {
 protected:
  void TearDown() override {
    setBetweenPassesHook({});
    setReservationFailure(-1);
  }

  std::string path(const std::string& name) const { return dir_.file(name); }
  void write(const std::string& name, const std::string& bytes) const {
    ::fuzzyart::testing::writeFileBytes(path(name), bytes);
  }
  std::string read(const std::string& name) const { return ::fuzzyart::testing::readFileBytes(path(name)); }
  bool exists(const std::string& name) const { return fs::exists(path(name)); }

  int run(std::vector<std::string> args) {
    test::ConsoleCapture console;
    RunRequest request;
    request.args = std::move(args);
    request.programName = "fuzzyart";
    int exitCode = runProgram(request);
    err_ = console.err();
    return exitCode;
  }

  bool errEndsWith(const std::string& tail) const {
    return err_.size() >= tail.size() && err_.compare(err_.size() - tail.size(), tail.size(), tail) == 0;
  }

  ::fuzzyart::testing::TempDir dir_;
  std::string err_;
};

// Two rows that complement coding keeps apart: (0 0 1 1) and (1 1 0 0) become
// categories 1 and 2.
constexpr const char* kTwoRows = "1 2\n3 4\n";

TEST_F(InProcessFault, FileGrownBetweenPassesUsesTheFirstPassRowsOnly) {
  write("DATA.TXT", kTwoRows);
  setBetweenPassesHook([this] { write("DATA.TXT", std::string(kTwoRows) + "9 9\n"); });
  ASSERT_EQ(run({path("DATA.TXT"), "-M"}), 0) << err_;
  EXPECT_EQ(read("DATA.FAF"), "1\n2\n");
  EXPECT_EQ(fs::file_size(path("DATA.BIN")), 2u * 4u * sizeof(float));
}

TEST_F(InProcessFault, RowChangedBetweenPassesStopsAsBadDatafile) {
  struct Change {
    const char* rows;
    const char* before;  // what the reader prints before the stop
  };
  const Change changes[] = {
      {"1 2\n3 4 5\n", "\nstr:3 4 5\n3!=2\n"},  // another count
      {"1 2\n3 x\n", ""},                       // a bad character
      {"1 2\n3 5\n", ""},                       // outside the first pass's range
      {"1 2\n", ""},                            // cut short
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.rows);
    write("DATA.TXT", kTwoRows);
    setBetweenPassesHook([this, &change] { write("DATA.TXT", change.rows); });
    EXPECT_EQ(run({path("DATA.TXT"), "-M"}), 5);
    EXPECT_TRUE(errEndsWith(std::string(change.before) + "\nPANIC: Bad datafile: " + path("DATA.TXT") +
                            "  Datarow:1\n"))
        << err_;
    EXPECT_FALSE(exists("DATA.FAC"));
    EXPECT_FALSE(exists("DATA.FAF"));
  }
}

// The worked example: MIN, MAX, then one category per row (-G1 -V0.9 -R1),
// then with -W the meanvector and one mvector per category.
TEST_F(InProcessFault, FailedReservationStopsWithItsMessage) {
  struct Failure {
    long successes;
    const char* writeCentres;
    const char* tail;
    const char* emptyFiles;   // created, nothing written
    const char* absentFiles;  // never created
  };
  const Failure failures[] = {
      {1, "-Q", "\nAttempted to reserve 8 bytes memory.\nPANIC: Not enough memory for MAXvector.\n", "",
       "DATA.FAC DATA.FAF"},
      {4, "-Q", "\nAttempted to reserve 8 bytes memory.\nPANIC: Not enough memory for category: 3\n", "DATA.FAC",
       "DATA.FAF"},
      {6, "-W", "\nAttemted to reserve 8 bytes memory.\nPANIC: Not enough memory for mvector0.\n",
       "DATA.FAC DATA.FAF DATA.BKC", ""},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.tail);
    fs::remove_all(dir_.path());
    fs::create_directory(dir_.path());
    write("DATA.TXT", "0 16\n1 8\n0.25 12\n");
    setReservationFailure(failure.successes);
    EXPECT_EQ(run({path("DATA.TXT"), "-G1", "-V0.9", "-R1", failure.writeCentres}), 5);
    EXPECT_TRUE(errEndsWith(failure.tail)) << err_;
    std::istringstream empty(failure.emptyFiles);
    for (std::string name; empty >> name;) EXPECT_EQ(read(name), "") << name;
    std::istringstream absent(failure.absentFiles);
    for (std::string name; absent >> name;) EXPECT_FALSE(exists(name)) << name;
  }
}

}  // namespace
}  // namespace fuzzyart
