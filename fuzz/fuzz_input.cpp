#include "fuzz_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "run/console.h"

namespace fuzzyart::fuzz {

CommandLine parseCommandLine(std::string_view text) {
  CommandLine line;
  while (!text.empty()) {
    size_t feed = text.find('\n');
    std::string_view item = text.substr(0, feed);
    text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1);
    if (!item.empty() && item[0] == '=') {
      line.environment.emplace_back(item.substr(1));
    } else {
      line.args.emplace_back(item);
    }
  }
  return line;
}

void silenceConsole() {
  FILE* sink = std::fopen("/dev/null", "w");
  int input = open("/dev/null", O_RDONLY);
  if (sink == nullptr || input < 0 || dup2(input, STDIN_FILENO) < 0) {
    std::perror("/dev/null");
    std::abort();
  }
  close(input);
  consoleStreams().out = sink;
  consoleStreams().err = sink;
}

}  // namespace fuzzyart::fuzz
