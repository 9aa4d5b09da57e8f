// A memory reservation that fails, through the test seam: the command line's
// report and stop, and that no result file is left. Each run goes through the
// in-process entry, in a fresh directory, with the console held in memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/reservation.h"
#include "e2e/child_process.h"
#include "run/console.h"
#include "run/run_driver.h"

namespace fuzzyart {
namespace {

// The worked example: MIN, MAX, then one category per row (-G1 -V0.9 -R1),
// then with -W the meanvector and one mvector per category.
TEST(InProcessFault, FailedReservationStopsWithItsMessage) {
  const struct {
    long successes;
    const char* writeCentres;
    const char* tail;
  } failures[] = {
      {1, "-Q", "\nAttempted to reserve 8 bytes memory.\nPANIC: Not enough memory for MAXvector.\n"},
      {4, "-Q", "\nAttempted to reserve 8 bytes memory.\nPANIC: Not enough memory for category: 3\n"},
      {6, "-W", "\nAttemted to reserve 8 bytes memory.\nPANIC: Not enough memory for mvector0.\n"},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.tail);
    testing::TempDir dir;
    testing::writeFile(dir.file("DATA.TXT"), "0 16\n1 8\n0.25 12\n");
    char* text = nullptr;
    size_t size = 0;
    FILE* console = open_memstream(&text, &size);
    consoleStreams() = {console, console, false};  // the program's own bytes 0xE0 and 0xE1
    setReservationFailure(failure.successes);
    RunRequest request;
    request.args = {dir.file("DATA.TXT"), "-G1", "-V0.9", "-R1", failure.writeCentres};
    request.programName = "fuzzyart";
    EXPECT_EQ(runProgram(request), 5);
    setReservationFailure(-1);
    consoleStreams() = ConsoleStreams{};
    std::fclose(console);
    const std::string err(text, size);
    std::free(text);
    EXPECT_TRUE(err.ends_with(failure.tail)) << err;
    // A stopped run leaves no result file, and no file under another name.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
      const std::string name = entry.path().filename();
      EXPECT_TRUE(name == "DATA.TXT" || name == "DATA.BIN") << name;
    }
  }
}

}  // namespace
}  // namespace fuzzyart
