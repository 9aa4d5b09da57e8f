#include "run/console.h"

#include <langinfo.h>
#include <poll.h>
#include <stdio_ext.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstring>
#include <string>

#include "run/signals.h"

namespace fuzzyart {

ConsoleStreams& consoleStreams() {
  static ConsoleStreams streams;
  return streams;
}

void configureConsoleCharset() {
  // Only the character set is taken from the environment; LC_NUMERIC stays
  // "C", so numbers read and print with a decimal point everywhere.
  if (std::setlocale(LC_CTYPE, "") == nullptr) return;
  const char* codeset = nl_langinfo(CODESET);
  consoleStreams().utf8 = codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

namespace {

// Once a stop signal has arrived, the console has this long altogether to
// take the run's last lines: a write that would wait for a reader beyond it
// (a full pipe that nobody reads) is given up, so the run ends.
constexpr auto kStopGrace = std::chrono::milliseconds(250);
std::chrono::steady_clock::time_point graceEnd{};

// Whether the console takes text before the grace after a stop runs out.
// (A pipe shows itself writable only with a whole page free.)
bool takesTextNow(FILE* stream) {
  const int fd = fileno(stream);
  if (fd < 0) return true;  // a memory stream
  const auto now = std::chrono::steady_clock::now();
  if (graceEnd == std::chrono::steady_clock::time_point{}) graceEnd = now + kStopGrace;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(graceEnd - now).count();
  pollfd p{fd, POLLOUT, 0};
  return poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) == 1;
}

// The first failed write to standard output: its buffer is dropped, or the
// exit would try to write it again.
void noteOutError(FILE* stream, int reason) {
  consoleStreams().outError = reason != 0 ? reason : EIO;
  __fpurge(stream);
}

void printTranslated(FILE* stream, const char* format, va_list args);

// The program's texts hold the code page 437 letters alpha (0xE0) and beta
// (0xE1); a UTF-8 terminal shows them as two-byte letters. Only the format is
// translated, never the values printed through it (a file name may hold any
// byte).
void printConsole(FILE* stream, const char* format, va_list args) {
  if (stream == nullptr) return;
  const bool out = stream == consoleStreams().out;
  if (out && consoleStreams().outError != 0) return;
  if (stopSignalArrived() && !takesTextNow(stream)) {
    if (out) noteOutError(stream, EINTR);
    return;
  }
  printTranslated(stream, format, args);
  if (out && std::ferror(stream)) noteOutError(stream, stopSignalArrived() ? EINTR : errno);
}

void printTranslated(FILE* stream, const char* format, va_list args) {
  if (consoleStreams().utf8 && std::strpbrk(format, "\xe0\xe1") != nullptr) {
    std::string translated;
    for (const char* p = format; *p != '\0'; ++p) {
      if (*p == '\xe0') {
        translated += "\xce\xb1";
      } else if (*p == '\xe1') {
        translated += "\xce\xb2";
      } else {
        translated += *p;
      }
    }
    std::vfprintf(stream, translated.c_str(), args);
  } else {
    std::vfprintf(stream, format, args);
  }
}

}  // namespace

void consolePrint(ConsoleStream stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  printConsole(stream == ConsoleStream::kOut ? consoleStreams().out : consoleStreams().err, format, args);
  va_end(args);
}

void consoleErr(const char* format, ...) {
  va_list args;
  va_start(args, format);
  printConsole(consoleStreams().err, format, args);
  va_end(args);
}

void consoleOut(const char* format, ...) {
  va_list args;
  va_start(args, format);
  printConsole(consoleStreams().out, format, args);
  va_end(args);
}

void panic(const char* format, ...) {
  consoleErr("\nPANIC: ");
  va_list args;
  va_start(args, format);
  printConsole(consoleStreams().err, format, args);
  va_end(args);
  throw RunStop{kExitPanic};
}

void panicDiskFull() { panic("Can't write to disk. Disk full?\n"); }

void resetConsoleOutput() {
  consoleStreams().outError = 0;
  if (consoleStreams().out != nullptr) clearerr(consoleStreams().out);
  graceEnd = {};
}

int flushStandardOutput() {
  FILE* out = consoleStreams().out;
  if (out == nullptr || consoleStreams().outError != 0) return consoleStreams().outError;
  if (stopSignalArrived() && !takesTextNow(out)) {
    noteOutError(out, EINTR);
  } else if (std::fflush(out) != 0 || std::ferror(out)) {
    noteOutError(out, stopSignalArrived() ? EINTR : errno);
  }
  return consoleStreams().outError;
}

void checkStandardOutput() {
  const int reason = consoleStreams().outError;
  if (reason == 0 || reason == EPIPE || reason == EINTR) return;
  panic("Can't write to disk. Disk full?\nINFO: %s: standard output\n", std::strerror(reason));
}

void progressTick(int64_t row, int64_t& ticks, bool quiet) {
  if (quiet || row % 64 != 0) return;
  consoleErr("\b%c", spinnerChar(ticks));
  ++ticks;
}

}  // namespace fuzzyart
