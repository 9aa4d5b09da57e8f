#include "run/switches.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/text.h"
#include "engine/parameter_check.h"
#include "fuzzyart/error.h"
#include "run/console.h"
#include "run/keyboard.h"
#include "run/result_kinds.h"
#include "run/usage_text.h"

namespace fuzzyart {

namespace {

// K is accepted and does nothing: it is kept so that command lines and
// environment values that users' scripts hold go on working unchanged.
constexpr const char* kAllowedSwitchCharacters = "1234567890.WQBXNMDVFRIKGCT-";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal integer: an optional sign and the digits that follow, up to the
// first other character; no digits read as 0. Saturates at the 32-bit range.
int32_t readInteger(const std::string& text, size_t& pos) {
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  int64_t value = 0;
  while (pos < text.size() && isDigit(text[pos])) {
    if (value <= INT64_C(1) << 40) value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// A decimal floating-point number (sign, digits, point, exponent), stopping at
// the first character that cannot continue it; no number reads as 0. Stored
// in single precision, correctly rounded.
float readNumber(const std::string& text, size_t pos) {
  size_t start = pos;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
  size_t digits = 0;
  while (pos < text.size() && isDigit(text[pos])) ++pos, ++digits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && isDigit(text[pos])) ++pos, ++digits;
  }
  if (digits == 0) return 0.0f;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    size_t e = pos + 1;
    if (e < text.size() && (text[e] == '-' || text[e] == '+')) ++e;
    if (e < text.size() && isDigit(text[e])) {
      while (e < text.size() && isDigit(text[e])) ++e;
      pos = e;
    }
  }
  // strtof rounds correctly and gives infinity or the nearest subnormal where
  // the value is out of range; the program never changes LC_NUMERIC from "C".
  std::string token = text.substr(start, pos - start);
  return std::strtof(token.c_str(), nullptr);
}

// Position of the first occurrence of a switch letter, or npos.
size_t findLetter(const std::string& text, char letter) { return text.find(letter); }

bool followedByMinus(const std::string& text, size_t at) { return at + 1 < text.size() && text[at + 1] == '-'; }

int32_t readColumnNumber(const std::string& text, size_t& pos, RunSettings& settings) {
  int32_t value = readInteger(text, pos);
  if (value > kMaxColumns) panic("Data switch (-X) to big. Value:%d Max:%d\n", value, kMaxColumns);
  // A column below 1 would address no column of the data.
  if (value < 1) panic("Data switch (-X) invalid. Value:%d\n", value);
  if (value > settings.highestColumn) settings.highestColumn = value;
  return value;
}

void addSelected(RunSettings& settings, int64_t columns) {
  int64_t total = int64_t{settings.selectedCount} + columns;
  settings.selectedCount = static_cast<int32_t>(total > INT32_MAX ? INT32_MAX : total);
}

// "-X1,3,5-8": items separated by ",", each a column or a range A-B with A<B.
void readColumnList(const std::string& text, RunSettings& settings) {
  settings.selectedCount = 1;
  size_t pos = 0;
  int32_t itemStart = readColumnNumber(text, pos, settings);
  settings.columnSelected[itemStart] = true;
  while (pos < text.size()) {
    if (text[pos] == ',') {
      ++pos;
      itemStart = readColumnNumber(text, pos, settings);
      settings.columnSelected[itemStart] = true;
      addSelected(settings, 1);
    } else if (text[pos] == '-') {
      ++pos;
      int32_t end = readColumnNumber(text, pos, settings);
      if (end <= itemStart) {
        panic("Data switch (-X) invalid. Value:%d-%d i.e. A-B when A<B.\n", itemStart, end);
      }
      for (int32_t c = itemStart + 1; c <= end; ++c) settings.columnSelected[c] = true;
      addSelected(settings, end - itemStart);
    } else {
      ++pos;
    }
  }
}

constexpr LongOption kLongOptions[] = {
    {"help", nullptr, "--help             shows this text on standard output"},
    {"version", nullptr, "--version          shows the version"},
    {"shuffle", &RunSettings::shuffleSeed,
     "--shuffle=SEED     learns each pass in an order drawn from SEED (0 to 2^64-1)"},
    {"model", &RunSettings::modelFile,
     "--model=FILE       classifies with the network stored in FILE instead of learning"},
    {"save-model", &RunSettings::saveModelFile,
     "--save-model=FILE  also stores the whole network in FILE, for --model"},
    {"output-dir", &RunSettings::outputDir, "--output-dir=DIR   writes the result files into the directory DIR"},
};

// A seed in plain decimal digits, 0 to 2^64 - 1; nothing else.
std::optional<uint64_t> seedOf(std::string_view text) {
  uint64_t seed = 0;
  const char* end = text.data() + text.size();
  if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
  const auto [stop, error] = std::from_chars(text.data(), end, seed);
  if (error != std::errc() || stop != end) return std::nullopt;
  return seed;
}

// Takes a long option into the settings; false when the argument is none of
// them. A file given twice counts at its first occurrence, as switch
// letters do.
bool takeLongOption(const std::string& arg, RunSettings& s) {
  const std::string_view text = std::string_view(arg).substr(2);
  const size_t equals = text.find('=');
  const std::string_view name = text.substr(0, equals);
  for (const LongOption& option : kLongOptions) {
    if (option.name != name) continue;
    if (option.file == nullptr) return equals == std::string_view::npos;
    if (equals == std::string_view::npos || equals + 1 == text.size()) return false;
    const std::string_view value = text.substr(equals + 1);
    if (option.file == &RunSettings::shuffleSeed && !seedOf(value)) return false;
    std::string& file = s.*option.file;
    if (file.empty()) file = value;
    return true;
  }
  return false;
}

// Prints the PANIC line of the first switch that a --model run cannot
// take; false when there is none. The model holds the column selection, the division by the
// row sum and complement coding; M and N count only from the command line
// (commandLine: the length of its part of the switch text), so that an
// environment that sets them does not rule out every --model run.
bool refuseWithModel(const RunSettings& s, size_t commandLine) {
  const char* model = s.modelFile.c_str();
  if (s.recall) {
    consoleErr("PANIC: Can't combine category/weightfilename (+%s) and modelfile (--model=%s).\n",
               s.categoryFile.c_str(), model);
  } else if (s.selectedCount != 0) {
    consoleErr("PANIC: Can't combine dataswitch (-X) and modelfile (--model=%s).\n", model);
  } else if (findLetter(s.switchText, 'M') < commandLine) {
    consoleErr("PANIC: Can't combine switch (-M) and modelfile (--model=%s).\n", model);
  } else if (findLetter(s.switchText, 'N') < commandLine) {
    consoleErr("PANIC: Can't combine switch (-N) and modelfile (--model=%s).\n", model);
  } else {
    return false;
  }
  return true;
}

[[noreturn]] void showUsage(const RunSettings& settings, const std::string& programName) {
  printUsageText(ConsoleStream::kErr, programName, true);
  if (settings.hiddenUsage) consoleErr("-Q:quiet -T:stopwatch -D#:debug -C:Copyright\n");
  throw RunStop{kExitUsageOrCancel};
}

// Reads the switch letters from the gathered text, in the order that decides
// which failing check is reported.
void evaluateLetters(RunSettings& s) {
  for (unsigned char c : s.switchText) {
    if (std::strchr(kAllowedSwitchCharacters, c) == nullptr || c == '\0') {
      consoleErr("INFO: Unknown character in switch/environment: \"%c\"\n", c);
    }
  }
  const std::string& text = s.switchText;
  auto flag = [&](char letter, bool& field) {
    size_t at = findLetter(text, letter);
    if (at != std::string::npos && !followedByMinus(text, at)) field = true;
  };
  if (size_t at = findLetter(text, 'D'); at != std::string::npos && !followedByMinus(text, at)) {
    size_t pos = at + 1;
    int32_t level = readInteger(text, pos);
    s.debugLevel = level == 0 ? 1 : level;
    if (s.debugLevel >= 2) consoleOut("sw:(%s)\n", text.c_str());
  }
  flag('Q', s.quiet);
  flag('N', s.normalise);
  flag('M', s.complementCoding);
  flag('W', s.writeCentres);
  if (size_t at = findLetter(text, 'R'); at != std::string::npos) {
    size_t pos = at + 1;
    s.iterations = readInteger(text, pos);
  }
  if (size_t at = findLetter(text, 'F'); at != std::string::npos) s.itp = readNumber(text, at + 1);
  if (size_t at = findLetter(text, 'I'); at != std::string::npos) s.alpha = readNumber(text, at + 1);
  if (size_t at = findLetter(text, 'V'); at != std::string::npos) s.vigilance = readNumber(text, at + 1);
  if (size_t at = findLetter(text, 'G'); at != std::string::npos) s.beta = readNumber(text, at + 1);
  try {
    checkRangedParameters(networkParameters(s));
  } catch (const Error& e) {
    panic("%s", e.what());
  }
}

}  // namespace

void upperCase(std::string& text) {
  for (char& ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') {
      ch = static_cast<char>(c - 'a' + 'A');
    } else if (c == 0x84) {
      ch = static_cast<char>(0x8E);
    } else if (c == 0x86) {
      ch = static_cast<char>(0x8F);
    } else if (c == 0x94) {
      ch = static_cast<char>(0x99);
    }
  }
}

std::optional<std::string> findProgramVariable(const std::vector<std::string>& environment, const std::string& name) {
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  auto valueOf = [](const std::string& entry) {
    size_t eq = entry.find('=');
    return eq == std::string::npos ? std::string() : entry.substr(eq + 1);
  };
  for (const auto& entry : environment) {
    if (nameOf(entry) == name) return valueOf(entry);
  }
  const std::string upperName = asciiUpper(name);
  for (const auto& entry : environment) {
    if (asciiUpper(nameOf(entry)) == upperName) return valueOf(entry);
  }
  return std::nullopt;
}

void readSettings(const std::vector<std::string>& args, const SettingsSource& source, RunSettings& s) {
  s = RunSettings{};
  int dataArguments = 0;
  bool conflict = false;

  for (const auto& arg : args) {
    if (isLongOption(arg)) {
      // Never switch letters or a data file: the first that is no long
      // option ends the scan as the other conflicts do.
      if (!takeLongOption(arg, s)) {
        consoleErr("PANIC: Unknown option: %s\n", arg.c_str());
        conflict = true;
        break;
      }
    } else if (isSwitchArgument(arg)) {
      char letter = arg.size() > 1 ? arg[1] : '\0';
      if (letter == 'B' || letter == 'b') {
        // An empty path means the data file's own directory, as without -B.
        s.tempPath = arg.substr(2);
        if (!s.tempPath.empty() && s.tempPath.back() != '/') s.tempPath += '/';
      } else if (letter == 'X' || letter == 'x') {
        readColumnList(arg.substr(2), s);
      } else {
        s.switchText += arg.substr(1);
      }
    } else if (isCategoryArgument(arg)) {
      std::string name = arg.substr(1);
      if (s.recall) {
        consoleErr("PANIC: Multiple category/weightfilenames given: %s %s\n", s.categoryFile.c_str(), name.c_str());
        conflict = true;
        break;
      }
      if (name.empty()) {
        consoleErr("INFO: No category/weightfilename given after +.\n");
        continue;
      }
      if (finalPathComponent(name).find('.') == std::string::npos) name += extensionOf(ResultKind::kWeights);
      s.categoryFile = name;
      s.recall = true;
    } else {
      ++dataArguments;
    }
  }
  if (!conflict && s.selectedCount != 0 && s.recall) {
    consoleErr("PANIC: Can't combine dataswitch (-X) and kategory/weightfilename (+FilNamn).\n\n");
    conflict = true;
  }
  upperCase(s.switchText);
  const size_t commandLine = s.switchText.size();
  if (!conflict && s.usesModel()) conflict = refuseWithModel(s, commandLine);
  if (auto value = findProgramVariable(source.environment, source.programName)) {
    upperCase(*value);
    s.switchText += *value;
  }
  // C, T and ? are plain letters of the switch text: a "-" after them does
  // not switch them off.
  s.copyright = s.switchText.find('C') != std::string::npos;
  s.stopwatch = s.switchText.find('T') != std::string::npos;
  s.hiddenUsage = s.switchText.find('?') != std::string::npos;
  if (args.empty() || dataArguments == 0 || conflict) {
    if (dataArguments == 0) consoleErr("PANIC: ONE filename/pattern must be given.\n");
    showUsage(s, source.programName);
  }
  evaluateLetters(s);
  s.alphaGiven = findLetter(s.switchText, 'I') < commandLine;
  s.vigilanceGiven = findLetter(s.switchText, 'V') < commandLine;
  s.threads = threadCap(source.environment);
}

std::span<const LongOption> longOptions() { return kLongOptions; }

int32_t threadCap(const std::vector<std::string>& environment) {
  constexpr std::string_view kName = "FUZZYART_THREADS=";
  for (const auto& entry : environment) {
    if (!entry.starts_with(kName)) continue;
    const std::string_view value = std::string_view(entry).substr(kName.size());
    int32_t cap = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), cap);
    return error == std::errc() && end == value.data() + value.size() && cap >= 1 ? cap : 0;
  }
  return 0;
}

NetworkParameters networkParameters(const RunSettings& s) {
  NetworkParameters p;
  p.iterations = s.iterations;
  p.beta = s.beta;
  p.alpha = s.alpha;
  p.vigilance = s.vigilance;
  p.itp = s.itp;
  p.threads = s.threads;
  if (!s.shuffleSeed.empty()) p.shuffleSeed = seedOf(s.shuffleSeed);
  return p;
}

ScalingOptions scalingOptions(const RunSettings& s) {
  ScalingOptions options;
  options.normalise = s.normalise;
  options.complementCoding = s.complementCoding;
  if (s.selectedCount != 0) {
    for (int c = 1; c <= kMaxColumns; ++c) {
      if (s.columnSelected[static_cast<size_t>(c)]) options.columns.push_back(c - 1);
    }
  }
  return options;
}

}  // namespace fuzzyart
