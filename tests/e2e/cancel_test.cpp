// Cancelling a run of the real binary: a key on a terminal, the stop signals,
// and a console pipe that closes early.
//
// Nothing here races the program with sleeps. The test reads the console one
// byte at a time and stops right after a marker; from then on the program can
// run ahead by at most one pipe (shrunk to 4096 bytes) or one terminal buffer
// of output before its next console write blocks. The data files are large
// enough that this happens inside the loop that the marker opens, so the key
// or signal that follows always finds that loop still running.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "e2e/process.h"

namespace fuzzyart::testing {
namespace {

const std::string kCancelled = "\nINFO: Program cancelled.\n";

// 3125 spinner steps per row loop, 6250 console bytes: more than a shrunk
// pipe holds, so a loop cannot end while the test is not reading.
constexpr int kBigRows = 200000;
constexpr off_t kBigBinBytes = off_t{kBigRows} * 8 * 4;

// Four tight clusters of 8 columns: few categories, so every loop is fast.
std::string clusteredRows(int rows) {
  std::string text;
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < 8; ++j) {
      text += std::to_string((i % 4) * 10 + j + (i / 4 + j) % 4);
      text += j < 7 ? ' ' : '\n';
    }
  }
  return text;
}

// Scattered rows: with -V0.99 every row becomes a category of its own.
std::string scatteredRows(int rows, uint64_t seed) {
  std::string text;
  for (int i = 0; i < rows * 8; ++i) {
    seed = (seed * 1103515245 + 12345) % 2147483648u;
    text += std::to_string(seed % 1000);
    text += i % 8 < 7 ? ' ' : '\n';
  }
  return text;
}

off_t fileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

// The console bytes of a row loop's first `steps` spinner steps.
std::string spinnerSteps(int steps) {
  std::string text;
  for (int i = 0; i < steps; ++i) {
    text += '\b';
    text += "-\\|/"[i % 4];
  }
  return text;
}

bool sameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 && cfgetispeed(&a) == cfgetispeed(&b) &&
         cfgetospeed(&a) == cfgetospeed(&b);
}

bool terminalsAvailable() {
  int fd = posix_openpt(O_RDWR | O_NOCTTY);
  if (fd < 0) return false;
  close(fd);
  return true;
}

std::string tail(const std::string& text) { return text.substr(text.size() > 200 ? text.size() - 200 : 0); }

// The real binary with the test environment.
class Program : public ChildProcess {
 public:
  Program(Console console, const std::string& dir, const std::vector<std::string>& args,
          const std::string& typedEarly = "", const std::vector<int>& ignored = {})
      : ChildProcess(console, FUZZYART_BINARY, dir, args, cleanEnvironment(), typedEarly, ignored) {}
};

class BigFile : public ::testing::Test {
 protected:
  void SetUp() override { writeFileBytes(dir_.file("BIG.DAT"), clusteredRows(kBigRows)); }
  std::string file(const char* name) const { return dir_.file(name); }

  // A key typed while learning runs on a terminal: the cancel, the
  // terminal's settings as they were, and the files as far as they got.
  // 2000 passes keep the run learning far longer than the key takes to
  // arrive, even in quiet mode, where no console write holds the run back.
  void keyCancelsLearning(const std::string& key, bool quiet) {
    if (!terminalsAvailable()) GTEST_SKIP() << "no pseudo-terminals on this machine";
    std::vector<std::string> args{"BIG.DAT", "-R2000"};
    if (quiet) args.push_back("-Q");
    Program run(Program::kTerminal, dir_.path(), args);
    ASSERT_TRUE(run.readUntil("FuzzyArt algorithm.")) << tail(run.console);
    EXPECT_EQ(run.terminalNow().c_lflag & (ICANON | ECHO), 0u) << "no single-key mode while the run works";
    run.type(key);
    run.finish();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.killedBy, 0);
    // The terminal turns every "\n" into "\r\n".
    EXPECT_TRUE(run.console.ends_with("\r\nINFO: Program cancelled.\r\n")) << tail(run.console);
    EXPECT_TRUE(sameSettings(run.before, run.after)) << "the terminal's settings were not restored";
    EXPECT_EQ(fileSize(file("BIG.BIN")), kBigBinBytes);
    EXPECT_EQ(fileSize(file("BIG.FAC")), 0);
    EXPECT_EQ(fileSize(file("BIG.FAF")), -1);
    EXPECT_EQ(run.console.find("Final number of categories"), std::string::npos);
    EXPECT_EQ(run.console.find('\b') == std::string::npos, quiet) << "spinner and quiet mode disagree";
  }

  TempDir dir_;
};

TEST_F(BigFile, KeyOnATerminalCancelsLearning) { keyCancelsLearning("x", false); }

// The terminal's interrupt key arrives as SIGINT, not as a key.
TEST_F(BigFile, InterruptKeyOnATerminalCancelsLearning) { keyCancelsLearning("\x03", false); }

TEST_F(BigFile, KeyCancelsInQuietMode) { keyCancelsLearning("x", true); }

TEST(Terminal, KeyTypedBeforeTheStartIsDiscarded) {
  if (!terminalsAvailable()) GTEST_SKIP() << "no pseudo-terminals on this machine";
  TempDir dir;
  writeFileBytes(dir.file("SMALL.DAT"), clusteredRows(2000));
  Program run(Program::kTerminal, dir.path(), {"SMALL.DAT", "-R2"}, "x");
  run.finish();
  EXPECT_EQ(run.exitCode, 0) << tail(run.console);
  EXPECT_EQ(run.console.find("cancelled"), std::string::npos);
  EXPECT_TRUE(sameSettings(run.before, run.after));
  EXPECT_GT(fileSize(dir.file("SMALL.FAC")), 0);
  EXPECT_GT(fileSize(dir.file("SMALL.FAF")), 0);
}

enum class Loop { kFirstPass, kSecondPass, kLearning, kRecall };

class StopSignal : public BigFile, public ::testing::WithParamInterface<std::tuple<Loop, int>> {};

// Without a terminal each stop signal ends every row loop as a cancel, inside
// the loop, and the files stay as far as they were written.
TEST_P(StopSignal, CancelsInsideEveryRowLoop) {
  const auto [loop, number] = GetParam();
  Program run(Program::kPipes, dir_.path(), {"BIG.DAT", "-R2"});
  const std::string workLineEnd = "BIG.FAF\n ";
  constexpr int kStepsPerPass = kBigRows / 64;
  switch (loop) {
    case Loop::kFirstPass:
      ASSERT_TRUE(run.readUntil(workLineEnd + spinnerSteps(1))) << tail(run.console);
      break;
    case Loop::kSecondPass:  // the spinner runs on from the first pass
      ASSERT_TRUE(run.readUntil(workLineEnd + spinnerSteps(kStepsPerPass + 1))) << tail(run.console);
      break;
    case Loop::kLearning:
      ASSERT_TRUE(run.readUntil("Iteration:1")) << tail(run.console);
      ASSERT_TRUE(run.readUntil("\b\b\b\b\b0000-")) << tail(run.console);
      break;
    case Loop::kRecall:
      ASSERT_TRUE(run.readUntil("Writing Categoryvaluefile:  \b-")) << tail(run.console);
      break;
  }
  run.signal(number);
  run.finish();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.killedBy, 0);
  EXPECT_TRUE(run.console.ends_with(kCancelled)) << tail(run.console);

  const auto steps = std::count(run.console.begin(), run.console.end(), '\b');
  const off_t bin = fileSize(file("BIG.BIN"));
  switch (loop) {
    case Loop::kFirstPass:
      EXPECT_LT(steps, kStepsPerPass);
      EXPECT_EQ(bin, 0);
      EXPECT_EQ(fileSize(file("BIG.FAC")), -1);
      break;
    case Loop::kSecondPass:  // whole records up to the cancelled row, flushed on the way out
      EXPECT_LT(steps, 2 * kStepsPerPass);
      EXPECT_TRUE(bin >= 0 && bin < kBigBinBytes && bin % 32 == 0) << bin;
      EXPECT_EQ(fileSize(file("BIG.FAC")), -1);
      break;
    case Loop::kLearning:
      EXPECT_EQ(run.console.find("Final number of categories"), std::string::npos);
      EXPECT_EQ(bin, kBigBinBytes);
      EXPECT_EQ(fileSize(file("BIG.FAC")), 0);
      EXPECT_EQ(fileSize(file("BIG.FAF")), -1);
      break;
    case Loop::kRecall: {
      const std::string values = readFileBytes(file("BIG.FAF"));
      EXPECT_LT(std::count(values.begin(), values.end(), '\n'), kBigRows);
      EXPECT_EQ(bin, kBigBinBytes);
      EXPECT_EQ(fileSize(file("BIG.FAC")), 0);
      break;
    }
  }
}

std::string loopCaseName(const ::testing::TestParamInfo<std::tuple<Loop, int>>& info) {
  static const char* const loops[] = {"FirstPass", "SecondPass", "Learning", "Recall"};
  const int number = std::get<1>(info.param);
  return std::string(loops[int(std::get<0>(info.param))]) +
         (number == SIGINT ? "Sigint" : number == SIGTERM ? "Sigterm" : "Sighup");
}

INSTANTIATE_TEST_SUITE_P(Loops, StopSignal,
                         ::testing::Combine(::testing::Values(Loop::kFirstPass, Loop::kSecondPass, Loop::kLearning,
                                                              Loop::kRecall),
                                            ::testing::Values(SIGINT, SIGTERM, SIGHUP)),
                         loopCaseName);

// Every row of A.DAT becomes a category, so its count lines overflow an
// unread standard output pipe while the category/weight file is written:
// the program waits there, past its last row loop, until the test reads.
class ManyCategories : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const TempDir* d : {&dir_, &reference_}) writeFileBytes(d->file("A.DAT"), scatteredRows(900, 12345));
    writeFileBytes(dir_.file("B.DAT"), scatteredRows(20, 777));
    ProcessRequest request{FUZZYART_BINARY, {"A.DAT", "-R5", "-V0.99"}, cleanEnvironment(), reference_.path()};
    expected_ = runProcess(request);
    ASSERT_EQ(expected_.exitCode, 0) << expected_.err;
  }
  void expectCompleteResults() const {
    for (const char* name : {"A.FAC", "A.FAF", "A.BIN"}) {
      EXPECT_EQ(readFileBytes(dir_.file(name)), readFileBytes(reference_.file(name))) << name;
    }
  }
  TempDir dir_, reference_;
  ProcessResult expected_;
};

// A signal after the last row loop of a file is not lost: it stops the run
// before the next file, or at the end of the last one.
TEST_F(ManyCategories, SignalWhileWritingResultsStopsAfterThem) {
  for (bool nextFile : {true, false}) {
    SCOPED_TRACE(nextFile ? "with a next file" : "last file");
    std::vector<std::string> args{"-R5", "-V0.99", "A.DAT"};  // no switch after A.DAT
    if (nextFile) args.push_back("B.DAT");
    Program run(Program::kPipes, dir_.path(), args);
    ASSERT_TRUE(run.readUntil("Writing Category/Weightfile.")) << tail(run.console);
    run.signal(SIGTERM);
    run.finish();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.console.ends_with(kCancelled)) << tail(run.console);
    EXPECT_EQ(run.console.find("B.DAT"), std::string::npos) << tail(run.console);
    EXPECT_EQ(fileSize(dir_.file("B.BIN")), -1);
    EXPECT_EQ(run.out, expected_.out);
    expectCompleteResults();
  }
}

// Under nohup (SIGHUP ignored by the caller) a hang-up does not cancel.
TEST_F(ManyCategories, SignalIgnoredByTheCallerStaysIgnored) {
  Program run(Program::kPipes, dir_.path(), {"A.DAT", "-R5", "-V0.99"}, "", {SIGHUP});
  ASSERT_TRUE(run.readUntil("Writing Category/Weightfile.")) << tail(run.console);
  run.signal(SIGHUP);
  run.finish();
  EXPECT_EQ(run.exitCode, 0) << tail(run.console);
  EXPECT_EQ(run.killedBy, 0);
  expectCompleteResults();
}

// `fuzzyart ... | head -c1`: a console pipe that nobody reads any more must
// not end the run.
TEST_F(ManyCategories, ClosedStandardOutputDoesNotStopTheRun) {
  Program run(Program::kPipes, dir_.path(), {"A.DAT", "-R5", "-V0.99"});
  run.closeStdout();
  run.finish();
  EXPECT_EQ(run.exitCode, 0) << tail(run.console);
  EXPECT_EQ(run.killedBy, 0);
  expectCompleteResults();
}

TEST_F(ManyCategories, ClosedStandardErrorDoesNotStopTheRun) {
  Program run(Program::kPipes, dir_.path(), {"A.DAT", "-R5", "-V0.99"});
  ASSERT_TRUE(run.readUntil(" "));
  run.closeConsole();
  run.finish();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.killedBy, 0);
  EXPECT_EQ(run.out, expected_.out);
  expectCompleteResults();
}

}  // namespace
}  // namespace fuzzyart::testing
