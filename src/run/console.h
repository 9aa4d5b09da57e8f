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
};

ConsoleStreams& consoleStreams();

// Decides from the locale's character set whether the Greek labels print as
// UTF-8 (numbers are always printed in the C locale's form).
void configureConsoleCharset();

enum class ConsoleStream { kOut, kErr };
void consolePrint(ConsoleStream stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
void consoleErr(const char* format, ...) __attribute__((format(printf, 1, 2)));
void consoleOut(const char* format, ...) __attribute__((format(printf, 1, 2)));

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
