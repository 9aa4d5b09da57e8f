#include "run/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <initializer_list>

#include "run/keyboard.h"

namespace fuzzyart {

namespace {

volatile sig_atomic_t stopSignal = 0;
volatile sig_atomic_t resumed = 0;

// Names the fatal handler may unlink, in the directories held by the
// descriptors, written only while their slot is off.
constexpr size_t kNameBytes = 256;
char pendingNames[kPendingSlots][kNameBytes];
int pendingDirectories[kPendingSlots];
volatile sig_atomic_t pendingSet[kPendingSlots] = {};

void onStopSignal(int signalNumber) { stopSignal = signalNumber; }

// After a stop (Ctrl+Z) and "fg" or "bg" the next poll looks again whether
// the job has the terminal.
void onContinue(int) { resumed = 1; }

// Only async-signal-safe calls from here on.
void onFatalSignal(int signalNumber) {
  for (int slot = 0; slot < kPendingSlots; ++slot) {
    if (pendingSet[slot] != 0) unlinkat(pendingDirectories[slot], pendingNames[slot], 0);
  }
  restoreTerminalFromSignal();
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signalNumber, &fallback, nullptr);
  sigset_t self;
  sigemptyset(&self);
  sigaddset(&self, signalNumber);
  sigprocmask(SIG_UNBLOCK, &self, nullptr);
  raise(signalNumber);
}

// Installs a handler unless the signal is ignored by whoever started us. A
// handler that restarts leaves a write that waits to wait on.
void handle(int signalNumber, void (*handler)(int), bool restart) {
  struct sigaction inherited {};
  if (sigaction(signalNumber, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // The terminal may be put back from a background job without stopping it.
  sigaddset(&action.sa_mask, SIGTTOU);
  action.sa_flags = restart ? SA_RESTART : 0;
  sigaction(signalNumber, &action, nullptr);
}

bool isCancel(int signalNumber) {
  return signalNumber == SIGINT || signalNumber == SIGTERM || signalNumber == SIGHUP;
}

// Signals whose default action ends the process, besides the cancels and
// the ignored ones. A build with AddressSanitizer leaves the faults of the
// program itself to the sanitizer, which reports them.
bool isFatal(int signalNumber) {
  switch (signalNumber) {
    case SIGQUIT: case SIGUSR1: case SIGUSR2: case SIGALRM: case SIGVTALRM: case SIGPROF: case SIGIO:
    case SIGPWR: case SIGSTKFLT: case SIGXCPU:
      return true;
    case SIGILL: case SIGTRAP: case SIGABRT: case SIGBUS: case SIGFPE: case SIGSEGV: case SIGSYS:
#if defined(__SANITIZE_ADDRESS__)
      return false;
#else
      return true;
#endif
    default:
      return signalNumber >= SIGRTMIN && signalNumber <= SIGRTMAX;
  }
}

}  // namespace

void installSignalHandlers() {
  for (int signalNumber = 1; signalNumber <= SIGRTMAX; ++signalNumber) {
    if (isCancel(signalNumber)) handle(signalNumber, onStopSignal, false);
    if (isFatal(signalNumber)) handle(signalNumber, onFatalSignal, true);
  }
  handle(SIGCONT, onContinue, true);
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

void resetSignals() {
  stopSignal = 0;
  resumed = 0;
}

bool stopSignalArrived() { return stopSignal != 0; }

bool takeResumed() {
  if (resumed == 0) return false;
  resumed = 0;
  return true;
}

void trackPendingFile(int slot, int directory, const std::string& name) {
  pendingSet[slot] = 0;
  if (name.empty() || name.size() >= kNameBytes || directory < 0) return;
  std::memcpy(pendingNames[slot], name.c_str(), name.size() + 1);
  pendingDirectories[slot] = directory;
  // The handler must find the name whole once the slot is on.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  pendingSet[slot] = 1;
}

SignalHold::SignalHold() {
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &before_);
}

SignalHold::~SignalHold() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }

}  // namespace fuzzyart
