// The cancel key and the stop signals.
//
// Standard input counts as a keyboard only when it is a terminal and the
// program is its foreground process; otherwise no key is ever waiting, so a
// background job is never stopped by the terminal. SIGINT, SIGTERM and SIGHUP
// only raise a flag that the row loops and the file loop check; the run then
// ends as a cancel, with the terminal restored and the streams closed.
#pragma once

namespace fuzzyart {

// Installs the signal handlers (once per process) and ignores SIGPIPE, so that
// a closed console pipe never ends the run.
void installSignalHandlers();

// Forgets a cancel request of an earlier in-process run.
void resetCancelRequest();

// Discards every key press already waiting.
void flushKeyboard();

// True when a key press is waiting or a stop signal has arrived; reads
// nothing. Asked once per row.
bool cancelPending();

// Cancels the run when a stop signal has arrived; the file loop checks it
// between its steps, where a key press is not looked for.
void checkStopSignal();

// Prints "\nINFO: Program cancelled.\n", discards the waiting keys and stops
// the run with exit code 1.
[[noreturn]] void cancelRun();

// The usage text's pause: reads one character from standard input.
void waitForEnter();

// While alive, a terminal on standard input is in non-canonical mode without
// echo, so a single key can be noticed; its settings are restored on every way
// out of the scope.
class KeyboardMode {
 public:
  KeyboardMode();
  ~KeyboardMode();
  KeyboardMode(const KeyboardMode&) = delete;
  KeyboardMode& operator=(const KeyboardMode&) = delete;
};

}  // namespace fuzzyart
