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

#include "e2e/process.h"

namespace fuzzyart::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(120);
constexpr int kPipeBytes = 4096;
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

// One run of the binary in `dir`, its console on pipes (standard input from
// /dev/null) or on a pseudo-terminal (all three streams).
class Program {
 public:
  enum Console { kPipes, kTerminal };

  // With kTerminal, `typedEarly` is typed, and its echo seen, before the
  // program is executed.
  // `ignored` signals are ignored by the caller, as nohup does.
  Program(Console console, const std::string& dir, const std::vector<std::string>& args,
          const std::string& typedEarly = "", const std::vector<int>& ignored = {})
      : ignored_(ignored) {
    // With a closed standard stream a pipe could land on descriptor 0 to 2
    // and be overwritten in the child.
    for (int fd = 0; fd < 3; ++fd) {
      if (fcntl(fd, F_GETFD) < 0) open("/dev/null", O_RDWR);
    }
    std::vector<std::string> argv{FUZZYART_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = cleanEnvironment();
    if (console == kPipes) {
      startWithPipes(dir, argv, env);
    } else {
      startOnTerminal(dir, argv, env, typedEarly);
    }
  }

  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {consoleFd_, outFd_, slaveFd_}) {
      if (fd >= 0) close(fd);
    }
  }

  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Reads the console (standard error, or the terminal) byte by byte until
  // `marker` has appeared after the previous marker, and no further.
  bool readUntil(const std::string& marker) {
    const size_t from = console.size();
    const auto deadline = Clock::now() + kPatience;
    while (console.size() < from + marker.size() || !console.ends_with(marker)) {
      char c;
      if (!waitReadable(consoleFd_, deadline) || read(consoleFd_, &c, 1) != 1) return false;
      console += c;
    }
    return true;
  }

  void signal(int number) { kill(pid_, number); }
  void type(const std::string& keys) { ASSERT_EQ(write(consoleFd_, keys.data(), keys.size()), ssize_t(keys.size())); }
  termios terminalNow() const {
    termios now{};
    tcgetattr(slaveFd_, &now);
    return now;
  }
  void closeStdout() { closeFd(outFd_); }
  void closeConsole() { closeFd(consoleFd_); }

  // Reads everything that is left and waits for the end. On a terminal the
  // test holds its own descriptor of the terminal until the program has
  // gone, so that `after` shows the settings the program left behind.
  void finish() {
    const auto deadline = Clock::now() + kPatience;
    int status = 0;
    bool ended = false;
    char buffer[65536];
    while (consoleFd_ >= 0 || outFd_ >= 0) {
      if (slaveFd_ >= 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
        ended = true;
        after = terminalNow();
        closeFd(slaveFd_);
      }
      if (Clock::now() > deadline) {
        ADD_FAILURE() << "the run did not end in time; console so far:\n" << tail(console);
        kill(pid_, SIGKILL);
        break;
      }
      pollfd fds[2] = {{consoleFd_, POLLIN, 0}, {outFd_, POLLIN, 0}};
      if (poll(fds, 2, 100) <= 0) continue;
      for (auto& p : fds) {
        if (p.fd < 0 || p.revents == 0) continue;
        ssize_t n = read(p.fd, buffer, sizeof buffer);
        if (n > 0) {
          (p.fd == outFd_ ? out : console).append(buffer, size_t(n));
        } else if (n == 0 || errno != EINTR) {  // a terminal whose other side is gone reports EIO
          closeFd(p.fd == outFd_ ? outFd_ : consoleFd_);
        }
      }
    }
    if (!ended) waitpid(pid_, &status, 0);
    pid_ = -1;
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    killedBy = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }

  std::string console;  // standard error, or everything the terminal showed
  std::string out;      // standard output on a pipe
  int exitCode = -1;
  int killedBy = 0;
  termios before{}, after{};  // the terminal's settings before the start and after the end

 private:
  static bool waitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      pollfd p{fd, POLLIN, 0};
      int ready = poll(&p, 1, int(left));
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return false;
    }
  }

  static void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }

  // In the child: the program gets default signal dispositions and an empty
  // signal mask, whatever the test runner set up.
  [[noreturn]] void exec(const std::string& dir, std::vector<std::string>& argv, std::vector<std::string>& env) {
    std::vector<char*> a, e;
    for (auto& s : argv) a.push_back(s.data());
    for (auto& s : env) e.push_back(s.data());
    a.push_back(nullptr);
    e.push_back(nullptr);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(s, SIG_DFL);
    for (int s : ignored_) ::signal(s, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chdir(dir.c_str()) == 0) execve(a[0], a.data(), e.data());
    _exit(127);
  }

  void startWithPipes(const std::string& dir, std::vector<std::string>& argv, std::vector<std::string>& env) {
    int err[2], out[2];
    if (pipe2(err, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (fcntl(err[0], F_SETPIPE_SZ, kPipeBytes) != kPipeBytes || fcntl(out[0], F_SETPIPE_SZ, kPipeBytes) != kPipeBytes) {
      throw std::runtime_error("cannot shrink a pipe to 4096 bytes");
    }
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      int in = open("/dev/null", O_RDONLY);
      if (in < 0 || dup2(in, 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) _exit(127);
      exec(dir, argv, env);
    }
    close(err[1]);
    close(out[1]);
    consoleFd_ = err[0];
    outFd_ = out[0];
  }

  void startOnTerminal(const std::string& dir, std::vector<std::string>& argv, std::vector<std::string>& env,
                       const std::string& typedEarly) {
    int go[2];
    if (pipe2(go, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = forkpty(&consoleFd_, nullptr, nullptr, nullptr);
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
    if (pid_ == 0) {
      char c;
      if (read(go[0], &c, 1) != 1) _exit(127);
      exec(dir, argv, env);
    }
    close(go[0]);
    slaveFd_ = open(ptsname(consoleFd_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd_ < 0 || tcgetattr(slaveFd_, &before) != 0) throw std::runtime_error("cannot open the terminal");
    if (!typedEarly.empty()) {
      type(typedEarly);
      if (!readUntil(typedEarly)) throw std::runtime_error("the early key was not echoed");
    }
    if (write(go[1], "g", 1) != 1) throw std::runtime_error("cannot start the child");
    close(go[1]);
  }

  std::vector<int> ignored_;
  pid_t pid_ = -1;
  int consoleFd_ = -1;  // standard error's pipe, or the terminal's master side
  int outFd_ = -1;
  int slaveFd_ = -1;
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
