// The run's settings, read once from the command line and the environment
// variable that bears the program's name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzyart/data.h"
#include "fuzzyart/network.h"

namespace fuzzyart {

// The highest column -X may name.
inline constexpr int kMaxColumns = 8192;

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
  std::string modelFile;      // --model: classify with the network stored there instead of learning
  std::string saveModelFile;  // --save-model: also store each data file's network there
  std::string outputDir;      // --output-dir: where the result files go instead of beside the data file
  std::string shuffleSeed;    // --shuffle: the seed of every learning pass's order, in decimal
  // I and V given on the command line: they override a --model's Alpha and
  // vigilance, which the environment's letters do not.
  bool alphaGiven = false;
  bool vigilanceGiven = false;
  bool usesModel() const { return !modelFile.empty(); }
};

// An argument that begins with "--": "--NAME", or "--NAME=FILE" for an
// option that takes a file; names are exact and case-sensitive. A new long
// option is one more entry of longOptions() (and its field).
struct LongOption {
  std::string_view name;
  std::string RunSettings::*file;  // where FILE goes; nullptr: the option takes none
  const char* help;                // its line in the usage text of --help
};
std::span<const LongOption> longOptions();
inline bool isLongOption(const std::string& arg) { return arg.starts_with("--"); }

// What readSettings needs besides the arguments.
struct SettingsSource {
  std::string programName;
  std::vector<std::string> environment;  // NAME=VALUE, in environment order
};

// Fills the settings from the arguments (program name excluded) and the
// environment. Shows the usage text and stops the run (exit code 1) when there
// is nothing to do or the arguments conflict (two category files, -X with
// one, a long option that is not one, --model with a category file, -X, -M
// or -N); a value out of range stops it with a PANIC (exit code 5).
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

// True when the argument is a switch (it begins with "-", a long option
// included); "/" begins an absolute path on this platform.
inline bool isSwitchArgument(const std::string& arg) { return !arg.empty() && arg[0] == '-'; }
inline bool isCategoryArgument(const std::string& arg) { return !arg.empty() && arg[0] == '+'; }

// The value of the program's own environment variable: an exact-case match of
// the name first, else the first variable whose name matches ignoring case.
std::optional<std::string> findProgramVariable(const std::vector<std::string>& environment, const std::string& name);

}  // namespace fuzzyart
