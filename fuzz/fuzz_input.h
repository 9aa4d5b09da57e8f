// What the fuzz targets share: a check that aborts with its place, how an
// input becomes a command line, and a console that neither prints nor waits.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "run/console.h"

// A property every input must keep; a violation aborts, which the fuzzer
// reports with the input.
#define CHECK(condition) \
  ((condition) ? void() : (std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition), std::abort()))

namespace fuzzyart::fuzz {

// One argument per line; a line that begins with "=" is an environment entry
// (the text after that "=", for example "=FUZZYART=R2N").
struct CommandLine {
  explicit CommandLine(std::string_view text) {
    for (size_t feed = 0; !text.empty(); text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1)) {
      feed = text.find('\n');
      const std::string_view item = text.substr(0, feed);
      (item.starts_with('=') ? environment : args).emplace_back(item.substr(item.starts_with('=') ? 1 : 0));
    }
  }
  std::vector<std::string> args;
  std::vector<std::string> environment;  // NAME=VALUE
};

// Both console streams go to /dev/null, and so does standard input: the usage
// text's "Press ENTER:" then reads an end of file at once instead of waiting.
inline void silenceConsole() {
  FILE* sink = std::fopen("/dev/null", "w");
  CHECK(sink != nullptr && std::freopen("/dev/null", "r", stdin) != nullptr && fileno(stdin) == STDIN_FILENO);
  consoleStreams() = {sink, sink, false};
}

}  // namespace fuzzyart::fuzz
