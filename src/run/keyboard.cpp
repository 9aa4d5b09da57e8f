#include "run/keyboard.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <initializer_list>

#include "run/console.h"

namespace fuzzyart {

namespace {

volatile sig_atomic_t stopSignal = 0;
volatile sig_atomic_t resumed = 0;

bool rawModeActive = false;
termios savedTerminal{};
termios rawTerminal{};

// The keyboard is polled at most once per millisecond: a system call per row
// would cost more than the row itself on small inputs, and no one types faster.
std::chrono::steady_clock::time_point lastPoll{};

void onStopSignal(int signalNumber) { stopSignal = signalNumber; }

// After a stop (Ctrl+Z) and "fg" the shell may have put the terminal back in
// line mode; the next poll sets single-key mode again.
void onContinue(int) { resumed = 1; }

bool isKeyboard() { return isatty(STDIN_FILENO) == 1 && tcgetpgrp(STDIN_FILENO) == getpgrp(); }

bool keyWaiting() {
  pollfd fd{STDIN_FILENO, POLLIN, 0};
  return poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN) != 0;
}

bool pollDue() {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPoll < std::chrono::milliseconds(1)) return false;
  lastPoll = now;
  return true;
}

}  // namespace

void installSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored by whoever started the program (nohup, a background
    // job of a script) stays ignored, as that caller asked.
    struct sigaction inherited {};
    if (sigaction(signalNumber, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    sigaction(signalNumber, &action, nullptr);
  }
  struct sigaction resume {};
  resume.sa_handler = onContinue;
  sigemptyset(&resume.sa_mask);
  resume.sa_flags = SA_RESTART;
  sigaction(SIGCONT, &resume, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

void resetCancelRequest() {
  stopSignal = 0;
  lastPoll = {};
}

void flushKeyboard() {
  if (isKeyboard()) tcflush(STDIN_FILENO, TCIFLUSH);
}

void checkStopSignal() {
  if (stopSignal != 0) cancelRun();
}

bool cancelPending() {
  if (stopSignal != 0) return true;
  if (!rawModeActive || !pollDue()) return false;
  if (resumed != 0) {
    resumed = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &rawTerminal);
  }
  return keyWaiting();
}

void cancelRun() {
  consoleErr("\nINFO: Program cancelled.\n");
  flushKeyboard();
  throw RunStop{kExitUsageOrCancel};
}

void waitForEnter() {
  int fd = STDIN_FILENO;
  for (;;) {
    if (stopSignal != 0) cancelRun();
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, 1, 200);
    if (ready < 0 && errno != EINTR) return;
    if (ready > 0) {
      char c;
      while (read(fd, &c, 1) < 0 && errno == EINTR) {
      }
      return;
    }
  }
}

KeyboardMode::KeyboardMode() {
  if (!isKeyboard() || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
  rawTerminal = savedTerminal;
  rawTerminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  rawTerminal.c_cc[VMIN] = 1;
  rawTerminal.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &rawTerminal) != 0) return;
  rawModeActive = true;
  // Keys typed before the program started sat in the line editor until now;
  // they must not cancel the run.
  tcflush(STDIN_FILENO, TCIFLUSH);
}

KeyboardMode::~KeyboardMode() {
  if (!rawModeActive) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  rawModeActive = false;
}

}  // namespace fuzzyart
