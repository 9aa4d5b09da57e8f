// Console services shared by every phase: the console streams, the fatal stop,
// the checked write to a result file and the progress spinner.
//
// A run ends early only by throwing RunStop; the run entry catches it, runs the
// exit clean-up and returns its exit code. Nothing here calls exit().
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace fuzzyart {

enum ExitCode : int { kExitNormal = 0, kExitUsageOrCancel = 1, kExitPanic = 5 };

// The stop of a run, carrying its exit code.
struct RunStop {
  int exitCode;
};

// Where console text goes. Standard error carries the banner, messages and
// progress; standard output only the few diagnostic and count lines.
struct ConsoleStreams {
  FILE* out = stdout;
  FILE* err = stderr;
  // When true the code page 437 bytes 0xE0 and 0xE1 of the program's own
  // texts are shown as the UTF-8 letters alpha and beta.
  bool utf8 = false;
  // The reason (errno) of the first write to `out` that failed, 0 while none
  // did; nothing more is written there after one (a text with a hole in it
  // would pass for whole).
  int outError = 0;
};

ConsoleStreams& consoleStreams();

// Decides from the locale's character set whether the Greek labels print as
// UTF-8 (numbers are always printed in the C locale's form).
void configureConsoleCharset();

enum class ConsoleStream { kOut, kErr };
void consolePrint(ConsoleStream stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
void consoleErr(const char* format, ...) __attribute__((format(printf, 1, 2)));
void consoleOut(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Forgets a failed write to standard output and the grace after a stop of
// an earlier in-process run.
void resetConsoleOutput();

// Writes out what standard output holds, unless a stop signal has arrived
// and it cannot take the text at once (a pipe nobody reads): the run must
// end then, not wait. Returns outError.
int flushStandardOutput();

// A write to standard output that failed for another reason than a reader
// that went away (EPIPE) or a stop signal stops the run: "Can't write to
// disk. Disk full?" and an INFO line with the system's reason.
void checkStandardOutput();

// Prints "\nPANIC: " and the message on the console and stops the run with
// exit code 5.
[[noreturn]] void panic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The one message of a lost write to a result file.
[[noreturn]] void panicDiskFull();

// The spinner of the row loops: at every 64th row (row 0 included) it turns
// one step, unless quiet.
void progressTick(int64_t row, int64_t& ticks, bool quiet);

inline char spinnerChar(int64_t step) { return "-\\|/"[step & 3]; }

}  // namespace fuzzyart
