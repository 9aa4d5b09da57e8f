// fuzzyart: Fuzzy ART networks on tables of numbers in text files.
#include <fcntl.h>

#include <cerrno>
#include <string>
#include <vector>

#include "run/console.h"
#include "run/signals.h"
#include "run/run_driver.h"

extern char** environ;

int main(int argc, char** argv) {
  // A closed standard stream would hand its number to the next file opened,
  // and console text would go into that file: each gets /dev/null first.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDWR) != fd) return 5;
  }
  fuzzyart::installSignalHandlers();
  fuzzyart::configureConsoleCharset();
  fuzzyart::RunRequest request;
  request.argv0 = argc > 0 ? argv[0] : "fuzzyart";
  for (int i = 1; i < argc; ++i) request.args.emplace_back(argv[i]);
  for (char** e = environ; *e != nullptr; ++e) request.environment.emplace_back(*e);
  return fuzzyart::runProgram(request);
}
