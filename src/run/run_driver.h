// The program's entry and the spine of every run: start-up, the settings, and
// the per-file sequence of phases.
#pragma once

#include <string>
#include <vector>

namespace fuzzyart {

struct RunRequest {
  std::vector<std::string> args;         // the command line without the program name
  std::vector<std::string> environment;  // NAME=VALUE
  std::string programName;               // empty: taken from the program's own path
  std::string argv0;                     // the fallback for the program's path
};

// One whole run; returns the exit code (0 normal end, 1 usage text or cancel,
// 5 PANIC). Program-wide state is set afresh, so runs can follow each other in
// one process.
int runProgram(const RunRequest& request);

// The program's file name, from /proc/self/exe or else argv0, after the last
// "/" and cut at its first ".".
std::string deriveProgramName(const std::string& argv0);

}  // namespace fuzzyart
