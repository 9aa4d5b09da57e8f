// What the fuzz targets share: how an input becomes a command line, and a
// console that neither prints nor waits.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// A property every input must keep; a violation aborts, which the fuzzer
// reports with the input.
#define CHECK(condition)                                                                \
  do {                                                                                  \
    if (!(condition)) {                                                                 \
      std::fprintf(stderr, "%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                     \
    }                                                                                   \
  } while (0)

namespace fuzzyart::fuzz {

struct CommandLine {
  std::vector<std::string> args;
  std::vector<std::string> environment;  // NAME=VALUE
};

// One argument per line; a line that begins with "=" is an environment entry
// (the text after that "=", for example "=FUZZYART=R2N").
CommandLine parseCommandLine(std::string_view text);

// Both console streams go to /dev/null, and so does standard input: the usage
// text's "Press ENTER:" then reads an end of file at once instead of waiting.
void silenceConsole();

}  // namespace fuzzyart::fuzz
