// The cancel key and the terminal.
//
// Standard input counts as a keyboard only when it is a terminal and the
// program's process group is its foreground group: a background job never
// reads keys or changes the terminal, and takes the keyboard up again when
// it comes back to the foreground ("fg"). A stop signal (signals.h) cancels
// like a key.
#pragma once

namespace fuzzyart {

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
// echo while the program has it, so a single key can be noticed; its
// settings are restored on every way out of the scope.
class KeyboardMode {
 public:
  KeyboardMode();
  ~KeyboardMode();
  KeyboardMode(const KeyboardMode&) = delete;
  KeyboardMode& operator=(const KeyboardMode&) = delete;
};

// Puts the terminal's settings back from a fatal signal's handler
// (async-signal-safe).
void restoreTerminalFromSignal();

}  // namespace fuzzyart
