#include "run/console.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <string>


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

// The program's texts hold the code page 437 letters alpha (0xE0) and beta
// (0xE1); a UTF-8 terminal shows them as two-byte letters. Only the format is
// translated, never the values printed through it (a file name may hold any
// byte).
void printConsole(FILE* stream, const char* format, va_list args) {
  if (stream == nullptr) return;
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

void progressTick(int64_t row, int64_t& ticks, bool quiet) {
  if (quiet || row % 64 != 0) return;
  consoleErr("\b%c", spinnerChar(ticks));
  ++ticks;
}

}  // namespace fuzzyart
