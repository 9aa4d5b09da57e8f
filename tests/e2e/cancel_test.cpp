// Cancelling a run of the real binary: a key on a terminal, the stop signals,
// and console pipes that close early.
//
// Nothing here races the program with sleeps. The test reads the console one
// byte at a time and stops right after a marker; from then on the program can
// run ahead by at most one pipe (shrunk to 4096 bytes) or one terminal buffer
// of output before its next console write blocks. The data files are large
// enough that this happens inside the loop that the marker opens, so the key
// or signal that follows always finds that loop still running.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "e2e/child_process.h"

namespace fuzzyart::testing {
namespace {

const std::string kCancelled = "\nINFO: Program cancelled.\n";

// 3125 spinner steps per row loop, 6250 console bytes: more than a shrunk
// pipe holds, so a loop cannot end while the test is not reading.
constexpr int kBigRows = 200000;
constexpr off_t kBigBinBytes = off_t{kBigRows} * 8 * 4;
constexpr int kStepsPerPass = kBigRows / 64;

// Rows of 8 columns: four tight clusters (few categories, so every loop is
// fast), or scattered values that -V0.99 makes a category each.
std::string rows(int count, bool scattered) {
  std::string text;
  uint64_t seed = 12345;
  for (int i = 0; i < count * 8; ++i) {
    seed = (seed * 1103515245 + 12345) % 2147483648u;
    text += std::to_string(scattered ? seed % 1000 : (i / 8 % 4) * 10 + i % 8 + (i / 32 + i % 8) % 4);
    text += i % 8 < 7 ? ' ' : '\n';
  }
  return text;
}

off_t fileSize(const std::string& path) {
  return std::filesystem::exists(path) ? off_t(std::filesystem::file_size(path)) : -1;
}

std::string tail(const std::string& text) { return text.substr(text.size() > 200 ? text.size() - 200 : 0); }

// The names of a directory's files; a stopped run leaves no result file and
// no file under a hidden name.
std::string filesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename());
  std::string list;
  for (const auto& name : names) list += name + " ";
  return list;
}

// The real binary with the test environment, in a directory of its own that
// holds A.DAT and a small B.DAT.
struct Program : TempDir, ChildProcess {
  Program(const std::string& data, Console console, const std::vector<std::string>& args,
          const std::string& typedEarly = "", const std::vector<int>& ignored = {})
      : ChildProcess((writeFile(file("A.DAT"), data), writeFile(file("B.DAT"), rows(20, true)), console),
                     FUZZYART_BINARY, path, args, cleanEnvironment(), typedEarly, ignored) {}
};

// A key typed while learning runs on a terminal cancels it, and the
// terminal's settings are as they were; a key typed before the start is
// discarded, or the run would stop before learning. Results of an earlier run
// stay as they were. 2000 passes keep the run
// learning far longer than the key takes to arrive, even in quiet mode, where
// no console write holds the run back.
TEST(Terminal, KeyCancelsLearningAndTheSettingsComeBack) {
  if (access("/dev/ptmx", R_OK | W_OK) != 0) GTEST_SKIP() << "no pseudo-terminals on this machine";
  const std::string data = rows(kBigRows, false);
  // The terminal's interrupt key arrives as SIGINT, not as a key.
  const std::pair<const char*, bool> variants[] = {{"x", false}, {"\x03", false}, {"x", true}};
  for (const auto& [key, quiet] : variants) {
    SCOPED_TRACE(std::string(key) + (quiet ? " quiet" : ""));
    std::vector<std::string> args{"A.DAT", "-R2000"};
    if (quiet) args.push_back("-Q");
    Program run(data, Program::kTerminal, args, "y");
    if (quiet) writeFile(run.file("A.FAC"), "earlier\n"), writeFile(run.file("A.FAF"), "1\n");
    ASSERT_TRUE(run.readUntil("FuzzyArt algorithm.")) << tail(run.console);
    EXPECT_EQ(run.terminalNow().c_lflag & (ICANON | ECHO), 0u) << "no single-key mode while the run works";
    run.type(key);
    run.finish();
    EXPECT_EQ(run.exitCode, 1);
    // The terminal turns every "\n" into "\r\n".
    EXPECT_TRUE(run.console.ends_with("\r\nINFO: Program cancelled.\r\n")) << tail(run.console);
    EXPECT_EQ(std::memcmp(&run.before, &run.after, sizeof(termios)), 0) << "the terminal's settings were not restored";
    EXPECT_EQ(fileSize(run.file("A.BIN")), kBigBinBytes);
    EXPECT_EQ(filesIn(run.path), quiet ? "A.BIN A.DAT A.FAC A.FAF B.DAT " : "A.BIN A.DAT B.DAT ");
    EXPECT_EQ(quiet ? readFile(run.file("A.FAC")) + readFile(run.file("A.FAF")) : "", quiet ? "earlier\n1\n" : "");
    EXPECT_EQ(run.console.find("Final number of categories"), std::string::npos);
    EXPECT_EQ(run.console.find('\b') == std::string::npos, quiet) << "spinner and quiet mode disagree";
  }
}

// Any other signal that ends the process (a quit key, a signal of the user's
// own) still removes the incomplete results and puts the terminal back, and
// the process ends by that signal, as callers expect.
TEST(Terminal, FatalSignalRemovesTheIncompleteResultsAndRestoresTheSettings) {
  if (access("/dev/ptmx", R_OK | W_OK) != 0) GTEST_SKIP() << "no pseudo-terminals on this machine";
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  const std::string data = rows(kBigRows, false);
  for (int number : {SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM}) {
    SCOPED_TRACE(strsignal(number));
    Program run(data, Program::kTerminal, {"A.DAT", "-R2000"});
    writeFile(run.file("A.FAC"), "earlier\n");
    ASSERT_TRUE(run.readUntil("Iteration:1")) << tail(run.console);
    run.signal(number);
    run.finish();
    EXPECT_EQ(run.killedBy, number);
    EXPECT_EQ(std::memcmp(&run.before, &run.after, sizeof(termios)), 0) << "the terminal's settings were not restored";
    EXPECT_EQ(filesIn(run.path), "A.BIN A.DAT A.FAC B.DAT ");
    EXPECT_EQ(readFile(run.file("A.FAC")), "earlier\n");
  }
}

// Under a shell with job control: a job stopped with Ctrl+Z and sent on with
// "bg" goes on in the background (it never takes the terminal there, which
// would stop it again), and after "fg" a key cancels it once more.
TEST(Terminal, StoppedJobGoesOnInTheBackgroundAndTakesTheKeyboardBackAfterFg) {
  if (access("/dev/ptmx", R_OK | W_OK) != 0 || access("/bin/bash", X_OK) != 0) {
    GTEST_SKIP() << "no pseudo-terminals or no bash on this machine";
  }
  TempDir dir;
  writeFile(dir.file("A.DAT"), rows(kBigRows, false));
  std::vector<std::string> env = cleanEnvironment();
  env.push_back("PS1=$ ");
  ChildProcess shell(ChildProcess::kTerminal, "/bin/bash", dir.path, {"--norc", "--noprofile", "-i"}, env);
  ASSERT_TRUE(shell.readUntil("$ ")) << tail(shell.console);
  // set -b: the shell reports a job's end (or stop) at once, not at the next prompt.
  for (const char* passes : {"-R100", "-R5000"}) {
    shell.type(std::string("set -b; ") + FUZZYART_BINARY + " A.DAT -Q " + passes + "\n");
    ASSERT_TRUE(shell.readUntil("FuzzyArt algorithm.")) << tail(shell.console);
    shell.type("\x1a");
    ASSERT_TRUE(shell.readUntil("Stopped")) << tail(shell.console);
    ASSERT_TRUE(shell.readUntil("$ ")) << tail(shell.console);
    if (passes == std::string("-R100")) {
      // The job's next report: that it is done, not "Stopped (tty output)".
      shell.type("bg\n");
      ASSERT_TRUE(shell.readUntil("$ ")) << tail(shell.console);
      ASSERT_TRUE(shell.readUntil("[1]+  ")) << tail(shell.console);
      ASSERT_TRUE(shell.readUntil("\n")) << tail(shell.console);
      EXPECT_TRUE(shell.console.substr(shell.console.rfind("[1]+  ")).starts_with("[1]+  Done")) << tail(shell.console);
    } else {
      shell.type("bg\n");
      ASSERT_TRUE(shell.readUntil("$ ")) << tail(shell.console);
      shell.type("fg\n");
      ASSERT_TRUE(shell.readUntil("-R5000\r\n")) << tail(shell.console);
      shell.type("x");
      ASSERT_TRUE(shell.readUntil("INFO: Program cancelled.")) << tail(shell.console);
      // Keys typed before the prompt would be discarded with the cancelling key.
      ASSERT_TRUE(shell.readUntil("$ ")) << tail(shell.console);
      shell.type("echo status=$?\n");
      ASSERT_TRUE(shell.readUntil("status=1")) << tail(shell.console);
    }
  }
  shell.type("exit\n");
  shell.finish();
}

enum class Loop { kFirstPass, kSecondPass, kLearning, kRecall };

class StopSignal : public ::testing::TestWithParam<std::tuple<Loop, int>> {};

// Without a terminal each stop signal ends every row loop as a cancel, inside
// the loop; the temporary file stays as far as it was written, and no result
// file is left.
TEST_P(StopSignal, CancelsInsideEveryRowLoop) {
  const auto [loop, number] = GetParam();
  Program run(rows(kBigRows, false), Program::kPipes, {"A.DAT", "-R2"});
  std::string spinner = "A.FAF\n ";  // the spinner runs on from the first pass into the second
  for (int i = 0; i <= (loop == Loop::kSecondPass ? kStepsPerPass : 0); ++i) spinner.append({'\b', "-\\|/"[i % 4]});
  const std::vector<std::string> markers[] = {
      {spinner}, {spinner}, {"Iteration:1", "\b\b\b\b\b0000-"}, {"Writing Categoryvaluefile:  \b-"}};
  for (const auto& marker : markers[int(loop)]) ASSERT_TRUE(run.readUntil(marker)) << tail(run.console);
  run.signal(number);
  run.finish();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.console.ends_with(kCancelled)) << tail(run.console);

  // The first pass writes nothing; the second whole records up to the
  // cancelled row, flushed on the way out; learning and recall find the
  // prepared rows complete.
  const off_t bin = fileSize(run.file("A.BIN"));
  const auto steps = std::count(run.console.begin(), run.console.end(), '\b');
  if (loop < Loop::kLearning) {
    EXPECT_LT(steps, (loop == Loop::kFirstPass ? 1 : 2) * kStepsPerPass);
    EXPECT_TRUE(loop == Loop::kFirstPass ? bin == 0 : bin >= 0 && bin < kBigBinBytes && bin % 32 == 0) << bin;
  } else {
    EXPECT_EQ(bin, kBigBinBytes);
  }
  EXPECT_EQ(filesIn(run.path), "A.BIN A.DAT B.DAT ");
  EXPECT_EQ(run.console.find("Final number of categories") == std::string::npos, loop < Loop::kRecall);
}

std::string loopName(const ::testing::TestParamInfo<std::tuple<Loop, int>>& info) {
  const char* const loops[] = {"FirstPass", "SecondPass", "Learning", "Recall"};
  const int number = std::get<1>(info.param);
  const std::string signal = number == SIGINT ? "Sigint" : number == SIGTERM ? "Sigterm" : "Sighup";
  return loops[int(std::get<0>(info.param))] + signal;
}

INSTANTIATE_TEST_SUITE_P(Loops, StopSignal,
                         ::testing::Combine(::testing::Values(Loop::kFirstPass, Loop::kSecondPass, Loop::kLearning,
                                                              Loop::kRecall),
                                            ::testing::Values(SIGINT, SIGTERM, SIGHUP)),
                         loopName);

// Every row of A.DAT becomes a category, so its count lines overflow an
// unread standard output pipe while the category/weight file is written:
// the program waits there, past its last row loop. A stop signal then ends
// the run at once, whether anyone reads or not (a supervisor's SIGTERM): the
// waiting write gives up, the count lines stop there, and the run ends as at
// the end of the file, which it does not leave half-committed, and before
// the next file. Under nohup (SIGHUP ignored by the caller) a hang-up does
// not cancel, and a console pipe that nobody reads any more
// (`fuzzyart ... | head -c1`) must not end the run either.
TEST(ManyCategories, OnlyAStopSignalEndsTheRunAfterTheLastRowLoop) {
  enum Action { kSignal, kIgnoredHangUp, kCloseStdout, kCloseStderr };
  const std::string a = rows(900, true);
  const std::vector<std::string> args{"-R5", "-V0.99", "A.DAT"};  // no switch after the data file
  Program reference(a, Program::kPipes, args);
  ASSERT_EQ(reference.finish().exitCode, 0) << reference.console;
  const std::pair<Action, bool> variants[] = {
      {kSignal, true}, {kSignal, false}, {kIgnoredHangUp, false}, {kCloseStdout, false}, {kCloseStderr, false}};
  for (const auto& [action, nextFile] : variants) {
    SCOPED_TRACE(std::to_string(action) + (nextFile ? " with a next file" : ""));
    std::vector<std::string> runArgs = args;
    if (nextFile) runArgs.push_back("B.DAT");
    Program run(a, Program::kPipes, runArgs, "", {SIGHUP});
    if (action == kCloseStdout) {
      run.closeStdout();
    } else {
      ASSERT_TRUE(run.readUntil(action == kCloseStderr ? " " : "Writing Category/Weightfile.")) << tail(run.console);
    }
    if (action == kCloseStderr) run.closeConsole();
    if (action == kSignal) {
      ASSERT_TRUE(run.waitForFullStdout());
      run.signal(SIGTERM);
      EXPECT_TRUE(run.endsWithin(std::chrono::seconds(1))) << "the stop waited for a reader";
    }
    if (action == kIgnoredHangUp) run.signal(SIGHUP);
    run.finish();
    EXPECT_EQ(run.exitCode, action == kSignal ? 1 : 0) << tail(run.console);
    EXPECT_EQ(run.killedBy, 0);
    EXPECT_EQ(run.console.ends_with(kCancelled), action == kSignal) << tail(run.console);
    EXPECT_EQ(run.console.find("B.DAT"), std::string::npos) << tail(run.console);
    EXPECT_EQ(filesIn(run.path), "A.BIN A.DAT A.FAC A.FAF B.DAT ");
    if (action == kSignal) {
      EXPECT_TRUE(run.out.size() < reference.out.size() && reference.out.starts_with(run.out)) << run.out.size();
    } else {
      EXPECT_TRUE((action == kCloseStdout ? reference.out : run.out) == reference.out) << run.out.size();
    }
    for (const char* name : {"A.FAC", "A.FAF", "A.BIN"}) {
      EXPECT_EQ(readFile(run.file(name)), readFile(reference.file(name))) << name;
    }
  }
}

// The data's directory renamed while the run works: a stop, or a signal that
// ends the process, still removes the hidden files of the results from it;
// a run left alone completes its results there.
TEST(MovedDirectory, RunCleansUpOrCompletesWhereTheDirectoryWent) {
  for (int number : {SIGTERM, SIGUSR1, 0}) {
    SCOPED_TRACE(number);
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    writeFile(dir.file("sub/A.DAT"), number != 0 ? rows(kBigRows, false) : rows(900, true));
    std::vector<std::string> args{"sub/A.DAT", "-W", "--save-model=sub/A.model", "-R2000"};
    if (number == 0) args.back() = "-R5", args.push_back("-V0.99");
    ChildProcess run(ChildProcess::kPipes, FUZZYART_BINARY, dir.path, args, cleanEnvironment());
    ASSERT_TRUE(run.readUntil(number != 0 ? "Iteration:1" : "Writing Category/Weightfile.")) << tail(run.console);
    if (number == 0) {
      ASSERT_TRUE(run.waitForFullStdout());
    }
    std::filesystem::rename(dir.file("sub"), dir.file("moved"));
    if (number != 0) run.signal(number);
    run.finish();
    EXPECT_EQ(run.exitCode, number == SIGTERM ? 1 : number == 0 ? 0 : -1) << tail(run.console);
    EXPECT_EQ(filesIn(dir.file("moved")), number != 0 ? "A.BIN A.DAT " : "A.BIN A.BKC A.DAT A.FAC A.FAF A.model ");
    EXPECT_EQ(filesIn(dir.path), "moved ");
  }
}

// A directory that appears at the category/weight file's name while the
// run works: no result takes its name, the earlier value file stays, and
// the message names the cause.
TEST(ManyCategories, DirectoryAtAResultNameLeavesTheEarlierResults) {
  Program run(rows(900, true), Program::kPipes, {"-R5", "-V0.99", "A.DAT"});
  writeFile(run.file("A.FAF"), "earlier\n");
  ASSERT_TRUE(run.readUntil("Writing Category/Weightfile.")) << tail(run.console);
  ASSERT_TRUE(run.waitForFullStdout());
  std::filesystem::create_directory(run.file("A.FAC"));
  run.finish();
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_TRUE(run.console.ends_with("\nPANIC: Can't write to disk. Disk full?\nINFO: Is a directory: A.FAC\n"))
      << tail(run.console);
  EXPECT_EQ(readFile(run.file("A.FAF")), "earlier\n");
  EXPECT_EQ(filesIn(run.path), "A.BIN A.DAT A.FAC A.FAF B.DAT ");
}

}  // namespace
}  // namespace fuzzyart::testing
