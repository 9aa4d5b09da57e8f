// The usage text: shown when a run has nothing to do, and by --help.
#pragma once

#include <string>

#include "run/console.h"

namespace fuzzyart {

// The usage text with the program's name. With pause, "Press ENTER:" stands
// after the description of switch F and one character is read from standard
// input before the rest; without it the rest follows at once.
void printUsageText(ConsoleStream stream, const std::string& programName, bool pause);

// One line per long option, as --help shows them after the usage text.
void printLongOptions(ConsoleStream stream);

}  // namespace fuzzyart
