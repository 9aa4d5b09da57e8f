// A whole run in-process on an arbitrary command line, data file and stored
// category file. An input is three parts separated by NUL bytes:
//   the command line (fuzz_input.h), the bytes of DATA.TXT, the bytes of
//   CAT.FAC and of DATA.FAC (so that +DATA.FAC recalls against the file the
//   run itself rewrites)
// A missing part leaves its files out. Each run starts in the same emptied
// directory, created once per process, and the directory the fuzzer was
// started in is restored after it.
//
// A run must end with exit code 0, 1 or 5. After exit code 0 the result files
// of DATA.TXT are complete: DATA.FAF has one category number per data row, no
// number beyond the rows of DATA.FAC, and with switch W DATA.BKC has a row
// per category; at debug level 1 the "Counts=" fields add up to the rows;
// with Beta and Itp at most 1 no weight is infinite or not a number.
//
// The sandbox: no argument may name a path outside the directory (no "/", no
// bare -B, which means the root, no -B..). More iterations than the default
// 10 are refused so that a run stays short.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fuzzyart/text_file.h"
#include "data/row_reader.h"
#include "fuzz_input.h"
#include "run/console.h"
#include "run/run_driver.h"
#include "run/switches.h"

using namespace fuzzyart;

namespace {

constexpr int kMaxIterations = 10;  // the default

std::string workDirectory;
int homeDirectory = -1;

void emptyWorkDirectory() {
  DIR* dir = opendir(workDirectory.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") unlinkat(dirfd(dir), name.c_str(), 0);
  }
  closedir(dir);
}

void removeWorkDirectory() {
  emptyWorkDirectory();
  rmdir(workDirectory.c_str());
}

bool insideWorkDirectory(const std::string& arg) {
  if (arg.find('/') != std::string::npos) return false;
  if (arg.size() >= 2 && arg[0] == '-' && (arg[1] == 'B' || arg[1] == 'b')) {
    const std::string path = arg.substr(2);
    return !path.empty() && path != "..";
  }
  return true;
}

void writeFile(const char* name, std::string_view bytes) {
  std::ofstream out(name, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  CHECK(out.good());
}

bool readFile(const char* name, std::string& bytes) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  bytes = text.str();
  return true;
}

// The lines of a result file that are not "!" comments; every line must end
// with its line feed.
std::vector<std::string> dataLines(const std::string& bytes) {
  CHECK(bytes.empty() || bytes.back() == '\n');
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] != '!') lines.push_back(line);
  }
  return lines;
}

int64_t dataRows(const std::string& bytes) {
  TextFile in;
  in.openMemory("DATA.TXT", std::make_shared<const std::string>(bytes));
  RowShape shape;
  std::vector<float> row(kRowBufferSize);
  int64_t rows = 0;
  while (readDataRow(row.data(), in, shape) > 0) ++rows;
  return rows;
}

void checkCompleteResults(const std::string& data, const RunSettings& settings) {
  std::string valueFile;
  if (!readFile("DATA.FAF", valueFile)) return;  // DATA.TXT was not among the data files
  std::string weightFile;
  CHECK(readFile("DATA.FAC", weightFile));
  const std::vector<std::string> categories = dataLines(weightFile);
  const std::vector<std::string> values = dataLines(valueFile);
  const int64_t rows = dataRows(data);
  CHECK(static_cast<int64_t>(values.size()) == rows);
  for (const std::string& value : values) {
    long category = std::strtol(value.c_str(), nullptr, 10);
    CHECK(category >= 1 && category <= static_cast<long>(categories.size()));
  }
  // With Beta and Itp at most 1 every weight stays between its input and
  // itself, so a weight that prints as not-a-number or infinite comes from
  // poisoned ranges.
  if (settings.beta <= 1.0f && settings.itp <= 1.0f) {
    CHECK(weightFile.find("NAN") == std::string::npos && weightFile.find("INF") == std::string::npos);
  }
  if (settings.debugLevel >= 1) {
    int64_t counted = 0;
    for (const std::string& category : categories) {
      CHECK(category.compare(0, 7, "Counts=") == 0);
      counted += std::strtoll(category.c_str() + 7, nullptr, 10);
    }
    CHECK(counted == rows);
  }
  if (settings.writeCentres) {
    std::string centreFile;
    CHECK(readFile("DATA.BKC", centreFile));
    CHECK(dataLines(centreFile).size() == categories.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silenceConsole();
  char pattern[] = "/tmp/fuzzyart-run-XXXXXX";
  CHECK(mkdtemp(pattern) != nullptr);
  workDirectory = pattern;
  homeDirectory = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  CHECK(homeDirectory >= 0);
  std::atexit(removeWorkDirectory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(bytes), size);
  size_t end = input.find('\0');
  const fuzz::CommandLine line = fuzz::parseCommandLine(input.substr(0, end));
  for (const std::string& arg : line.args) {
    if (!insideWorkDirectory(arg)) return -1;
  }
  std::optional<std::string_view> data;
  std::optional<std::string_view> categories;
  if (end != std::string_view::npos) {
    input.remove_prefix(end + 1);
    end = input.find('\0');
    data = input.substr(0, end);
    if (end != std::string_view::npos) categories = input.substr(end + 1);
  }

  RunSettings settings;
  try {
    readSettings(line.args, SettingsSource{"fuzzyart", line.environment}, settings);
    if (settings.iterations > kMaxIterations) return -1;
  } catch (const RunStop&) {
  }

  emptyWorkDirectory();
  CHECK(chdir(workDirectory.c_str()) == 0);
  if (data) writeFile("DATA.TXT", *data);
  if (categories) {
    writeFile("CAT.FAC", *categories);
    writeFile("DATA.FAC", *categories);
  }

  RunRequest request;
  request.args = line.args;
  request.environment = line.environment;
  request.programName = "fuzzyart";
  const int exitCode = runProgram(request);
  CHECK(exitCode == kExitNormal || exitCode == kExitUsageOrCancel || exitCode == kExitPanic);
  if (exitCode == kExitNormal && data) checkCompleteResults(std::string(*data), settings);

  CHECK(fchdir(homeDirectory) == 0);
  return 0;
}
