// The run's settings, read once from the command line and the environment
// variable that bears the program's name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzzyart/data.h"
#include "fuzzyart/network.h"

namespace fuzzyart {

// The highest column -X may name.
inline constexpr int kMaxColumns = 8192;

// The result extensions, in the order of the program's extension table.
inline constexpr const char* kWeightExtension = ".FAC";
inline constexpr const char* kValueExtension = ".FAF";
inline constexpr const char* kTempExtension = ".BIN";
inline constexpr const char* kCentreExtension = ".BKC";

struct RunSettings {
  int32_t iterations = 10;
  float beta = 0.9f;
  float alpha = 0.0f;
  float vigilance = 0.5f;
  float itp = 1.0f;
  bool normalise = false;
  bool complementCoding = false;
  bool writeCentres = false;
  bool quiet = false;
  bool copyright = false;   // C: the copyright notice at the end of the run
  bool stopwatch = false;   // T: the elapsed time at the end of the run
  bool hiddenUsage = false; // ?: the usage text shows the line of the hidden switches
  int32_t debugLevel = 0;
  // columnSelected[c] for the data columns c = 1 to 8192 (entry 0 unused).
  std::vector<bool> columnSelected = std::vector<bool>(kMaxColumns + 1, false);
  int32_t selectedCount = 0;  // 0: no -X, every column is used
  int32_t highestColumn = 0;
  std::string tempPath;       // empty, or a directory ending in "/"
  std::string categoryFile;
  bool recall = false;
  std::string switchText;     // gathered switch letters, upper case
  int32_t threads = 0;        // FUZZYART_THREADS: the most threads of learning and recall; 0: every core
};

// What readSettings needs besides the arguments.
struct SettingsSource {
  std::string programName;
  std::vector<std::string> environment;  // NAME=VALUE, in environment order
};

// Fills the settings from the arguments (program name excluded) and the
// environment. Shows the usage text and stops the run (exit code 1) when there
// is nothing to do; a value out of range stops it with a PANIC (exit code 5).
// The settings are filled as they are read, so that a stop still finds the
// debug level that was set before it.
void readSettings(const std::vector<std::string>& args, const SettingsSource& source, RunSettings& settings);

// The cap on threads that FUZZYART_THREADS sets: a whole number from 1; any
// other value, or none, leaves every usable core (0). Never reported: the
// variable changes no output.
int32_t threadCap(const std::vector<std::string>& environment);

// The network's parameters and the scaling options of the settings.
NetworkParameters networkParameters(const RunSettings& settings);
ScalingOptions scalingOptions(const RunSettings& settings);

// Upper-cases ASCII letters and the code page 437 letters a-umlaut, a-ring and
// o-umlaut, in place.
void upperCase(std::string& text);

// True when the argument is a switch (it begins with "-"); "/" begins an
// absolute path on this platform.
inline bool isSwitchArgument(const std::string& arg) { return !arg.empty() && arg[0] == '-'; }
inline bool isCategoryArgument(const std::string& arg) { return !arg.empty() && arg[0] == '+'; }

// The value of the program's own environment variable: an exact-case match of
// the name first, else the first variable whose name matches ignoring case.
std::optional<std::string> findProgramVariable(const std::vector<std::string>& environment, const std::string& name);

}  // namespace fuzzyart
