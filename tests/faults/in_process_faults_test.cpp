// A memory reservation that fails, through the test seam: the command line's
// report and stop, and the files the run leaves. Each run goes through the
// in-process entry, in a fresh directory, with the console held in memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "base/reservation.h"
#include "e2e/process.h"
#include "run/run_driver.h"
#include "unit/memory_stream.h"

namespace fuzzyart {
namespace {

namespace fs = std::filesystem;

// The worked example: MIN, MAX, then one category per row (-G1 -V0.9 -R1),
// then with -W the meanvector and one mvector per category.
TEST(InProcessFault, FailedReservationStopsWithItsMessage) {
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
    testing::TempDir dir;
    testing::writeFileBytes(dir.file("DATA.TXT"), "0 16\n1 8\n0.25 12\n");
    setReservationFailure(failure.successes);
    test::ConsoleCapture console;
    RunRequest request;
    request.args = {dir.file("DATA.TXT"), "-G1", "-V0.9", "-R1", failure.writeCentres};
    request.programName = "fuzzyart";
    EXPECT_EQ(runProgram(request), 5);
    setReservationFailure(-1);
    EXPECT_TRUE(console.err().ends_with(failure.tail)) << console.err();
    std::istringstream empty(failure.emptyFiles);
    for (std::string name; empty >> name;) EXPECT_EQ(testing::readFileBytes(dir.file(name)), "") << name;
    std::istringstream absent(failure.absentFiles);
    for (std::string name; absent >> name;) EXPECT_FALSE(fs::exists(dir.file(name))) << name;
  }
}

}  // namespace
}  // namespace fuzzyart
