// Runs a program (the real fuzzyart binary, mostly) as a child process, on
// pipes or on a pseudo-terminal, for the tests that talk to it while it runs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace fuzzyart::testing {

using Clock = std::chrono::steady_clock;
// How long any wait for the program lasts before the test gives up.
constexpr auto kPatience = std::chrono::seconds(120);
constexpr int kPipeBytes = 4096;

// One run of a program in `dir`, its console on pipes (standard input from
// /dev/null) or on a pseudo-terminal (all three streams). The pipes hold
// 4096 bytes, so a program that writes more waits for the reader: a test can
// stop reading at a marker and know the program has not run far past it.
class ChildProcess {
 public:
  enum Console { kPipes, kTerminal };

  // With kTerminal, `typedEarly` is typed, and its echo seen, before the
  // program is executed.
  // `ignored` signals are ignored by the caller, as nohup does.
  ChildProcess(Console console, const std::string& program, const std::string& dir,
               const std::vector<std::string>& args, std::vector<std::string> env, const std::string& typedEarly = "",
               const std::vector<int>& ignored = {})
      : ignored_(ignored) {
    // With a closed standard stream a pipe could land on descriptor 0 to 2
    // and be overwritten in the child.
    for (int fd = 0; fd < 3; ++fd) {
      if (fcntl(fd, F_GETFD) < 0) open("/dev/null", O_RDWR);
    }
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    if (console == kPipes) {
      startWithPipes(dir, argv, env);
    } else {
      startOnTerminal(dir, argv, env, typedEarly);
    }
  }

  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {consoleFd_, outFd_, slaveFd_}) {
      if (fd >= 0) close(fd);
    }
  }

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

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
  void type(const std::string& keys) {
    if (write(consoleFd_, keys.data(), keys.size()) != ssize_t(keys.size())) throw std::runtime_error("cannot type");
  }
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
        timedOut = true;
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
  bool timedOut = false;  // killed after the time limit
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

}  // namespace fuzzyart::testing
