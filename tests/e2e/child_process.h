// Runs a program (the real fuzzyart binary, mostly) as a child process, on
// pipes or on a pseudo-terminal, and the files and directories its tests use.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/text.h"

extern char** environ;

namespace fuzzyart::testing {

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  if (!(std::ofstream(path, std::ios::binary) << bytes)) throw std::runtime_error("cannot write " + path);
}

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
struct TempDir {
  std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "fuzzyart-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
  }();
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string file(const std::string& name) const { return path + "/" + name; }
};

// The current environment without any variable whose name is FUZZYART in any
// letter case and without LANG, LANGUAGE and LC_*, with LC_ALL=C added.
inline std::vector<std::string> cleanEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = asciiUpper(entry.substr(0, entry.find('=')));
    if (name != "FUZZYART" && name != "LANG" && name != "LANGUAGE" && !name.starts_with("LC_")) env.push_back(entry);
  }
  env.push_back("LC_ALL=C");
  return env;
}

using Clock = std::chrono::steady_clock;
// How long any wait for the program lasts before the test gives up.
constexpr auto kPatience = std::chrono::seconds(120);

// One run of a program in `dir`, its console on pipes (standard input from
// /dev/null) or on a pseudo-terminal (all three streams). The pipes hold
// 4096 bytes, so a program that writes more waits for the reader: a test can
// stop reading at a marker and know the program has not run far past it.
class ChildProcess {
 public:
  enum Console { kPipes, kTerminal };

  // With kTerminal, `typedEarly` is typed, and its echo seen, before the
  // program is executed. `ignored` signals are ignored by the caller, as
  // nohup does.
  ChildProcess(Console console, const std::string& program, const std::string& dir, std::vector<std::string> args,
               std::vector<std::string> env, const std::string& typedEarly = "", std::vector<int> ignored = {}) {
    // With a closed standard stream a pipe could land on descriptor 0 to 2
    // and be overwritten in the child.
    for (int fd = 0; fd < 3; ++fd) {
      if (fcntl(fd, F_GETFD) < 0) open("/dev/null", O_RDWR);
    }
    args.insert(args.begin(), program);
    int go[2], err[2], out[2];
    if (pipe2(go, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
        fcntl(err[0], F_SETPIPE_SZ, 4096) != 4096 || fcntl(out[0], F_SETPIPE_SZ, 4096) != 4096) {
      throw std::runtime_error("cannot make the pipes");
    }
    pid_ = console == kPipes ? fork() : forkpty(&consoleFd_, nullptr, nullptr, nullptr);
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      // The child waits for the go, then runs the program with default signal
      // dispositions and an empty signal mask, whatever the test runner set up.
      char c;
      const bool ready = read(go[0], &c, 1) == 1 && chdir(dir.c_str()) == 0;
      if (!ready || (console == kPipes && (dup2(open("/dev/null", O_RDONLY), 0) < 0 || dup2(out[1], 1) < 0 ||
                                           dup2(err[1], 2) < 0))) {
        _exit(127);
      }
      for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(s, SIG_DFL);
      for (int s : ignored) ::signal(s, SIG_IGN);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      std::vector<char*> argv, envp;
      for (auto& s : args) argv.push_back(s.data());
      for (auto& s : env) envp.push_back(s.data());
      argv.push_back(nullptr);
      envp.push_back(nullptr);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    for (int fd : {go[0], err[1], out[1]}) close(fd);
    if (console == kPipes) {
      consoleFd_ = err[0];
      outFd_ = out[0];
    } else {
      for (int fd : {err[0], out[0]}) close(fd);
      slaveFd_ = open(ptsname(consoleFd_), O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (slaveFd_ < 0 || tcgetattr(slaveFd_, &before) != 0) throw std::runtime_error("cannot open the terminal");
      if (!typedEarly.empty()) {
        type(typedEarly);
        if (!readUntil(typedEarly)) throw std::runtime_error("the early key was not echoed");
      }
    }
    if (write(go[1], "g", 1) != 1) throw std::runtime_error("cannot start the child");
    close(go[1]);
  }

  ~ChildProcess() {
    if (pid_ > 0 && kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
    for (int* fd : {&consoleFd_, &outFd_, &slaveFd_}) closeFd(*fd);
  }

  // Reads the console (standard error, or the terminal) byte by byte until
  // `marker` has appeared after the previous marker, and no further.
  bool readUntil(const std::string& marker) {
    const size_t from = console.size();
    const auto deadline = Clock::now() + kPatience;
    while (console.size() < from + marker.size() || !console.ends_with(marker)) {
      pollfd p{consoleFd_, POLLIN, 0};
      char c;
      if (Clock::now() > deadline || (poll(&p, 1, 100) > 0 && read(consoleFd_, &c, 1) != 1)) return false;
      if (p.revents != 0) console += c;
    }
    return true;
  }

  void signal(int number) { kill(pid_, number); }

  // Waits, without reading it, until the standard output pipe is full: the
  // program's next write to it waits for the test.
  bool waitForFullStdout() {
    const auto deadline = Clock::now() + kPatience;
    for (int queued = 0; ioctl(outFd_, FIONREAD, &queued) == 0 && Clock::now() < deadline; usleep(1000)) {
      if (queued >= 4096) return true;
    }
    return false;
  }

  // Waits at most `limit` for the program to end, reading the console but
  // not standard output; false when it is still running then.
  bool endsWithin(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      if (waitpid(pid_, &status_, WNOHANG) == pid_) return reaped_ = true;
      pollfd p{consoleFd_, POLLIN, 0};
      char buffer[4096];
      if (poll(&p, 1, 10) > 0) {
        const ssize_t n = read(consoleFd_, buffer, sizeof buffer);
        if (n > 0) console.append(buffer, size_t(n));
      }
    }
    return false;
  }
  void type(const std::string& keys) {
    if (write(consoleFd_, keys.data(), keys.size()) != ssize_t(keys.size())) throw std::runtime_error("cannot type");
  }
  termios terminalNow() const { termios now{}; tcgetattr(slaveFd_, &now); return now; }
  void closeStdout() { closeFd(outFd_); }
  void closeConsole() { closeFd(consoleFd_); }

  // Reads everything that is left and waits for the end. On a terminal the
  // test holds its own descriptor of the terminal until the program has
  // gone, so that `after` shows the settings the program left behind.
  ChildProcess& finish() {
    const auto deadline = Clock::now() + kPatience;
    int status = 0;
    bool ended = false;
    char buffer[65536];
    while (consoleFd_ >= 0 || outFd_ >= 0) {
      if (slaveFd_ >= 0 && !reaped_ && waitpid(pid_, &status, WNOHANG) == pid_) {
        ended = true;
        after = terminalNow();
        closeFd(slaveFd_);
      }
      if (!ended && Clock::now() > deadline && kill(pid_, SIGKILL) == 0) break;
      pollfd fds[2] = {{consoleFd_, POLLIN, 0}, {outFd_, POLLIN, 0}};
      if (poll(fds, 2, 100) <= 0) continue;
      for (auto& p : fds) {
        if (p.fd < 0 || p.revents == 0) continue;
        const ssize_t n = read(p.fd, buffer, sizeof buffer);
        if (n > 0) (p.fd == outFd_ ? out : console).append(buffer, size_t(n));
        if (n <= 0) closeFd(p.fd == outFd_ ? outFd_ : consoleFd_);  // a terminal whose other side is gone reports EIO
      }
    }
    if (reaped_) {
      status = status_;
    } else if (!ended) {
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    killedBy = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return *this;
  }

  std::string console;  // standard error, or everything the terminal showed
  std::string out;      // standard output on a pipe
  int exitCode = -1;    // -1 when the program did not exit normally
  int killedBy = 0;     // the signal that ended the program, if one did
  termios before{}, after{};  // the terminal's settings before the start and after the end

 private:
  static void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }

  pid_t pid_ = -1;
  bool reaped_ = false;  // endsWithin saw the end, with status_
  int status_ = 0;
  int consoleFd_ = -1;  // standard error's pipe, or the terminal's master side
  int outFd_ = -1;
  int slaveFd_ = -1;
};

}  // namespace fuzzyart::testing
