#include "run/keyboard.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

#include "run/console.h"
#include "run/signals.h"

namespace fuzzyart {

namespace {

bool terminalInput = false;          // standard input is a terminal (within a KeyboardMode)
bool polling = false;                // the job has the terminal: keys are looked for
volatile sig_atomic_t changed = 0;   // the terminal is in single-key mode by our hand
bool saved = false;
termios savedTerminal{};
termios rawTerminal{};

// The keyboard is polled at most once per millisecond: a system call per row
// would cost more than the row itself on small inputs, and no one types faster.
std::chrono::steady_clock::time_point lastPoll{};

bool inForeground() { return tcgetpgrp(STDIN_FILENO) == getpgrp(); }

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

// Single-key mode, set only while the job has the terminal (a background job
// that set it would be stopped by the terminal, and would take the settings
// away from the shell that has it).
void takeKeyboard() {
  polling = false;
  if (!inForeground()) return;
  if (!saved) {
    if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    rawTerminal = savedTerminal;
    rawTerminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    rawTerminal.c_cc[VMIN] = 1;
    rawTerminal.c_cc[VTIME] = 0;
    saved = true;
  }
  if (tcsetattr(STDIN_FILENO, TCSANOW, &rawTerminal) != 0) return;
  changed = 1;
  polling = true;
}

}  // namespace

void flushKeyboard() {
  if (isatty(STDIN_FILENO) == 1 && inForeground()) tcflush(STDIN_FILENO, TCIFLUSH);
}

void checkStopSignal() {
  if (stopSignalArrived()) cancelRun();
}

bool cancelPending() {
  if (stopSignalArrived()) return true;
  if (!terminalInput || !pollDue()) return false;
  // After a stop, and while in the background, look again whether the job
  // has the terminal: "fg" gives it back to a running job without a signal.
  if (takeResumed() || !polling) takeKeyboard();
  return polling && keyWaiting();
}

void cancelRun() {
  consoleErr("\nINFO: Program cancelled.\n");
  flushKeyboard();
  throw RunStop{kExitUsageOrCancel};
}

void waitForEnter() {
  int fd = STDIN_FILENO;
  for (;;) {
    if (stopSignalArrived()) cancelRun();
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
  lastPoll = {};
  saved = false;
  terminalInput = isatty(STDIN_FILENO) == 1;
  if (!terminalInput) return;
  takeKeyboard();
  // Keys typed before the program started sat in the line editor until now;
  // they must not cancel the run.
  if (polling) tcflush(STDIN_FILENO, TCIFLUSH);
}

KeyboardMode::~KeyboardMode() {
  if (changed != 0 && inForeground()) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  changed = 0;
  terminalInput = polling = false;
}

void restoreTerminalFromSignal() {
  if (changed != 0 && tcgetpgrp(STDIN_FILENO) == getpgrp()) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

}  // namespace fuzzyart
