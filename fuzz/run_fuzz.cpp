// A whole run in-process on an arbitrary command line, data file and stored
// category file. An input is three parts separated by NUL bytes:
//   the command line (fuzz_input.h), the bytes of DATA.TXT, the bytes of
//   CAT.FAC and of DATA.FAC (so that +DATA.FAC recalls against the file the
//   run itself rewrites)
// A missing part leaves its files out. Each run starts in a freshly emptied
// directory, and the directory the fuzzer was started in is restored after
// it.
//
// A run must end with exit code 0, 1 or 5. After exit code 0 the result files
// of DATA.TXT are complete: DATA.FAF has one category number per data row, no
// number beyond the rows of DATA.FAC; with Beta and Itp at most 1 no weight is
// infinite or not a number. After any other exit code DATA.FAC is as it was
// (a stopped run replaces no result), and no hidden result file is left.
//
// The sandbox: no argument may name a path outside the directory (no "/", no
// -B..). More iterations than the default
// 10 are refused so that a run stays short.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>
#include <optional>
#include <sstream>

#include "fuzz_input.h"
#include "fuzzyart/data.h"
#include "run/run_driver.h"
#include "run/switches.h"

using namespace fuzzyart;
namespace fs = std::filesystem;

namespace {

fs::path workDirectory;
fs::path homeDirectory;

// The lines of a result file that are not "!" comments; every line must end
// with its line feed.
std::vector<std::string> dataLines(const char* name) {
  std::ifstream in(name, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  CHECK(in.is_open() && (bytes.empty() || bytes.back() == '\n'));
  std::vector<std::string> lines;
  std::istringstream text(bytes);
  for (std::string line; std::getline(text, line);) {
    if (!line.starts_with('!')) lines.push_back(line);
  }
  return lines;
}

void checkCompleteResults(const RunSettings& settings) {
  if (!fs::exists("DATA.FAF")) return;  // DATA.TXT was not among the data files
  const std::vector<std::string> categories = dataLines("DATA.FAC");
  const std::vector<std::string> values = dataLines("DATA.FAF");
  // The run read DATA.TXT without fault, and so does the library.
  const size_t rows = static_cast<size_t>(readDataFile("DATA.TXT").rows);
  CHECK(values.size() == rows);
  for (const std::string& value : values) {
    const long category = std::strtol(value.c_str(), nullptr, 10);
    CHECK(category >= 1 && category <= static_cast<long>(categories.size()));
  }
  for (const std::string& category : categories) {
    // With Beta and Itp at most 1 every weight stays between its input and
    // itself, so a weight that prints as not-a-number or infinite comes from
    // poisoned ranges.
    CHECK(settings.beta > 1.0f || settings.itp > 1.0f ||
          (category.find("NAN") == std::string::npos && category.find("INF") == std::string::npos));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silenceConsole();
  char pattern[] = "/tmp/fuzzyart-run-XXXXXX";
  CHECK(mkdtemp(pattern) != nullptr);
  workDirectory = pattern;
  homeDirectory = fs::current_path();
  std::atexit([] { fs::remove_all(workDirectory); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(bytes), size);
  const size_t end = input.find('\0');
  const fuzz::CommandLine line(input.substr(0, end));
  for (const std::string& arg : line.args) {
    const bool tempPath = arg.size() >= 2 && arg[0] == '-' && (arg[1] == 'B' || arg[1] == 'b');
    if (arg.find('/') != std::string::npos || (tempPath && arg.substr(2) == "..")) return -1;
  }
  RunSettings settings;
  try {
    readSettings(line.args, SettingsSource{"fuzzyart", line.environment}, settings);
    if (settings.iterations > 10) return -1;
  } catch (const RunStop&) {
  }

  fs::remove_all(workDirectory);
  fs::create_directory(workDirectory);
  fs::current_path(workDirectory);
  std::optional<std::string_view> data, categories;
  if (end != std::string_view::npos) {
    input.remove_prefix(end + 1);
    const size_t split = input.find('\0');
    data = input.substr(0, split);
    if (split != std::string_view::npos) categories = input.substr(split + 1);
  }
  auto write = [](const char* name, std::string_view content) {
    CHECK(std::ofstream(name, std::ios::binary).write(content.data(), std::streamsize(content.size())).good());
  };
  if (data) write("DATA.TXT", *data);
  for (const char* name : {"CAT.FAC", "DATA.FAC"}) {
    if (categories) write(name, *categories);
  }

  RunRequest request;
  request.args = line.args;
  request.environment = line.environment;
  request.programName = "fuzzyart";
  const int exitCode = runProgram(request);
  CHECK(exitCode == kExitNormal || exitCode == kExitUsageOrCancel || exitCode == kExitPanic);
  if (exitCode == kExitNormal && data) checkCompleteResults(settings);
  // (Only when DATA.TXT is the one data file: a complete earlier run of it
  // replaces its results rightly, and a later data file may stop the run.)
  std::vector<std::string> dataFiles;
  std::copy_if(line.args.begin(), line.args.end(), std::back_inserter(dataFiles),
               [](const std::string& a) { return !a.starts_with('-') && !a.starts_with('+'); });
  const bool once = dataFiles == std::vector<std::string>{"DATA.TXT"};
  if (exitCode != kExitNormal && once) {
    std::ifstream stored("DATA.FAC", std::ios::binary);
    CHECK(std::string(std::istreambuf_iterator<char>(stored), {}) == (categories ? *categories : ""));
  }
  for (const auto& entry : fs::directory_iterator(workDirectory)) {
    CHECK(!entry.path().filename().string().starts_with(".fuzzyart-"));
  }
  fs::current_path(homeDirectory);
  return 0;
}
