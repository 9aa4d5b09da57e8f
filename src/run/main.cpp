// fuzzyart: Fuzzy ART networks on tables of numbers in text files.
#include <string>
#include <vector>

#include "run/console.h"
#include "run/keyboard.h"
#include "run/run_driver.h"

extern char** environ;

int main(int argc, char** argv) {
  fuzzyart::installSignalHandlers();
  fuzzyart::configureConsoleCharset();
  fuzzyart::RunRequest request;
  request.argv0 = argc > 0 ? argv[0] : "fuzzyart";
  for (int i = 1; i < argc; ++i) request.args.emplace_back(argv[i]);
  for (char** e = environ; *e != nullptr; ++e) request.environment.emplace_back(*e);
  return fuzzyart::runProgram(request);
}
