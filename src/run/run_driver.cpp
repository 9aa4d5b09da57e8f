#include "run/run_driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <new>

#include "data/preparation.h"
#include "engine/learning.h"
#include "engine/recall_pass.h"
#include "results/centre_file.h"
#include "results/value_file.h"
#include "results/weight_file.h"
#include "run/cleanup.h"
#include "run/console.h"
#include "run/keyboard.h"
#include "run/result_names.h"
#include "run/wildcards.h"
#include "run/work_files.h"

namespace fuzzyart {

namespace {

constexpr const char* kVersion = "1.11";
constexpr const char* kPlatform = "W32 DOS";
// Never printed; identifies the build's version among its texts.
[[maybe_unused]] constexpr const char* kVersionMarker = "$qumver 1.11";
constexpr const char* kCopyright = "\nCopyright (C) 2026 the fuzzyart developers.\n";

// The draw for the unasked copyright notice: a 15-bit linear congruential
// generator, 0 to 32767.
class NoticeDraw {
 public:
  explicit NoticeDraw(unsigned long seed) : state_(seed) {}
  int next() {
    state_ = state_ * 1103515245UL + 12345UL;
    return static_cast<int>((state_ / 65536UL) % 32768UL);
  }

 private:
  unsigned long state_;
};

void openDataFile(RunContext& context, const std::string& name) {
  struct stat info {};
  // A directory opens for reading on this platform and a pipe cannot be read
  // twice: only a regular file is a data file.
  if (stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || !context.files.dataStream.open(name)) {
    panic("Can't find/open file: %s\n\n", name.c_str());
  }
}

void printWorkLine(const RunContext& context, const std::string& arg) {
  const WorkFiles& f = context.files;
  if (context.settings.writeCentres) {
    consoleErr("\nWorking on file: %-13s\nCreating files:  %-13s %-13s %s\n ", arg.c_str(), f.weightName.c_str(),
               f.valueName.c_str(), f.centreName.c_str());
  } else {
    consoleErr("\nWorking on file: %-13s Creating files: %-13s %s\n ", arg.c_str(), f.weightName.c_str(),
               f.valueName.c_str());
  }
}

void engagePhase(RunContext& context) {
  const RunSettings& s = context.settings;
  context.table.resetForEngine(s.alpha);
  if (s.recall) {
    loadCategories(context.files.categoryStream, context.table, context.ranges, context.shape, s,
                   context.inputLength, context.rowBuffer.data());
  } else {
    LearningParameters parameters;
    parameters.iterations = s.iterations;
    parameters.beta = context.currentBeta;
    parameters.vigilance = s.vigilance;
    parameters.itp = s.itp;
    parameters.quiet = s.quiet;
    parameters.debugLevel = s.debugLevel;
    learnCategories(context.files.preparedRows, context.table, parameters);
  }
}

void recallPhase(RunContext& context) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  beforeCreating(f, s, f.valueName);
  openCategoryValueFile(f.valueStream, f.valueName, f.dataName, s.debugLevel);
  if (s.writeCentres) {
    reserveCentreSums(context.centres, context.table.count(), context.shape.variableCount, s.debugLevel);
  }
  RecallParameters parameters;
  parameters.vigilance = s.vigilance;
  parameters.quiet = s.quiet;
  parameters.variableCount = context.shape.variableCount;
  recallRows(f.preparedRows, context.table, parameters, f.valueStream,
             s.writeCentres ? &context.centres : nullptr);
}

void processDataFile(RunContext& context, const std::string& arg) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  f.dataName = arg;
  openDataFile(context, arg);
  f.weightName = replaceExtension(arg, kWeightExtension);
  f.valueName = replaceExtension(arg, kValueExtension);
  f.tempName = temporaryName(arg, s.tempPath);
  if (s.writeCentres) {
    f.centreName = replaceExtension(arg, kCentreExtension);
    beforeCreating(f, s, f.centreName);
    if (!f.centreStream.create(f.centreName)) panic("Can't create file: %s\n\n", f.centreName.c_str());
  }
  beforeCreating(f, s, f.tempName);
  if (!f.tempStream.create(f.tempName)) panic("Can't create file: %s\n\n", f.tempName.c_str());
  printWorkLine(context, arg);

  context.shape = RowShape{};
  context.inputLength = 0;
  context.table.resetForFile();
  context.currentBeta = s.beta;

  checkStopSignal();
  prepareDataFile(context);
  checkStopSignal();
  engagePhase(context);
  checkStopSignal();
  recallPhase(context);
  checkStopSignal();
  if (s.writeCentres) {
    writeCategoryCenters(f.centreStream, context.centres, context.table, context.ranges, f.dataName,
                         context.shape.variableCount, s.debugLevel);
  }
  writeCategoryWeightFile(f.weightStream, context.table, context.ranges, s, f.dataName,
                          context.shape.variableCount);
  roughCleaning(context);
}

void announceMode(const RunSettings& s) {
  if (s.recall) {
    consoleErr("RECALL> \xe0:%.3f \xe1:%.3f Vigilance:%.3f Itp:%.3f\n", double{s.alpha}, double{s.beta},
               double{s.vigilance}, double{s.itp});
  } else {
    consoleErr("LEARN> Number of iterations:%d \xe0:%.3f \xe1:%.3f Vigilance:%.3f Itp:%.3f\n", s.iterations,
               double{s.alpha}, double{s.beta}, double{s.vigilance}, double{s.itp});
  }
}

void finishRun(const RunSettings& s, NoticeDraw& draw, time_t stopwatchStart) {
  const bool asked = s.switchText.find('C') != std::string::npos;
  if (asked || draw.next() < 1000) consoleErr("%s", kCopyright);
  if (s.switchText.find('T') != std::string::npos) {
    consoleErr("\nElapsed time: %ld s.\n", static_cast<long>(time(nullptr) - stopwatchStart));
  }
}

void runStages(RunContext& context, const RunRequest& request, std::unique_ptr<KeyboardMode>& keyboard) {
  const std::vector<std::string> args = expandWildcards(request.args);
  flushKeyboard();
  NoticeDraw draw(static_cast<unsigned long>(time(nullptr)));
  const time_t stopwatchStart = time(nullptr);
  const std::string name = request.programName.empty() ? deriveProgramName(request.argv0) : request.programName;
  consoleErr(" <<< %s >>>  Version: %s%s\n\n", name.c_str(), kVersion, kPlatform);
  readSettings(args, SettingsSource{name, request.environment}, context.settings);
  keyboard = std::make_unique<KeyboardMode>();
  announceMode(context.settings);
  context.table.releaseCategories();

  for (const auto& arg : args) {
    checkStopSignal();
    if (isSwitchArgument(arg) || isCategoryArgument(arg)) continue;
    if (isResultName(arg)) {
      consoleErr("INFO: Ignoring file: %s\n", arg.c_str());
      continue;
    }
    processDataFile(context, arg);
  }
  // A stop signal that came while the last file's results were written.
  checkStopSignal();
  finishRun(context.settings, draw, stopwatchStart);
}

}  // namespace

std::string deriveProgramName(const std::string& argv0) {
  std::string path;
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n > 0 && static_cast<size_t>(n) < sizeof buffer) {
    path.assign(buffer, static_cast<size_t>(n));
  } else {
    path = argv0;
  }
  std::string name = finalPathComponent(path);
  return name.substr(0, name.find('.'));
}

int runProgram(const RunRequest& request) {
  resetCancelRequest();
  auto context = std::make_unique<RunContext>();
  std::unique_ptr<KeyboardMode> keyboard;
  int exitCode = kExitNormal;
  try {
    runStages(*context, request, keyboard);
  } catch (const RunStop& stop) {
    exitCode = stop.exitCode;
  } catch (const std::bad_alloc&) {
    consoleErr("\nPANIC: Not enough memory.\n");
    exitCode = kExitPanic;
  }
  majorClean(*context);
  keyboard.reset();
  if (consoleStreams().out != nullptr) std::fflush(consoleStreams().out);
  return exitCode;
}

}  // namespace fuzzyart
