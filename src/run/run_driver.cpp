#include "run/run_driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <new>

#include "base/text.h"
#include "fuzzyart/fuzzyart.h"
#include "results/result_streams.h"
#include "run/cleanup.h"
#include "run/console.h"
#include "run/keyboard.h"
#include "run/notices.h"
#include "results/model_format.h"
#include "results/model_writer.h"
#include "run/result_kinds.h"
#include "run/signals.h"
#include "run/usage_text.h"
#include "run/wildcards.h"
#include "run/work_files.h"

namespace fuzzyart {

namespace {

// The platform text of the banner is kept as users' scripts and stored
// outputs know it.
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

// Memory for the converted values of a data file between the two passes:
// an eighth of the machine's memory, at most 512 MiB (128 million values).
size_t keptValuesBudget() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  const size_t limit = size_t{512} << 20;
  if (pages <= 0 || pageSize <= 0) return limit;
  return std::min(limit, static_cast<size_t>(pages) / 8 * static_cast<size_t>(pageSize));
}

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
  const char* weights = f.name(ResultKind::kWeights).c_str();
  const char* values = f.name(ResultKind::kValues).c_str();
  if (context.settings.writeCentres) {
    consoleErr("\nWorking on file: %-13s\nCreating files:  %-13s %-13s %s\n ", arg.c_str(), weights, values,
               f.name(ResultKind::kCentres).c_str());
  } else {
    consoleErr("\nWorking on file: %-13s Creating files: %-13s %s\n ", arg.c_str(), weights, values);
  }
}

// A model file written over the data file or over another of its results
// would lose it: the run stops first. (A data file given later is looked
// for before the first one, by refuseModelOverDataFiles.)
void refuseModelOverResults(const WorkFiles& f) {
  const std::string& model = f.name(ResultKind::kModel);
  if (model.empty()) return;
  bool clash = model == f.dataName || sameFile(model, f.dataName);
  for (const ResultKindInfo& info : resultKinds()) {
    const std::string& other = f.name(info.kind);
    if (info.kind != ResultKind::kModel && !other.empty()) clash = clash || model == other || sameFile(model, other);
  }
  if (clash) panic("Modelfile would replace a file of the run: %s\n", model.c_str());
}

// The data file is opened, the result names are built, the files that must
// exist before the work starts are created, and the work line is printed.
void openWorkFiles(RunContext& context, const std::string& arg) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  f.dataName = arg;
  openDataFile(context, arg);
  lockDataFile(f);
  nameResultFiles(f, s);
  refuseModelOverResults(f);
  refuseTemporaryFileOverInputs(f, s);
  createResultFiles(f, s, Created::kAtStart);
  createTemporaryFile(f);
  printWorkLine(context, arg);
  context.observer.startFile();
}

// The scaling options of a model's scaling, for the preparation of rows
// that it scales.
ScalingOptions optionsOf(const Scaling& scaling) {
  return ScalingOptions{scaling.normalise, scaling.complementCoding, scaling.columns};
}

// Both passes over the data file (a recall's stored categories widen the
// ranges between them; a --model run scales with the model's ranges,
// clipping what lies outside), the prepared rows into the temporary file,
// which is then read back; the category/weight file is created on the way.
void prepareData(RunContext& context) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  const Model* model = context.model ? &*context.model : nullptr;
  Preparation& preparation =
      context.preparation.emplace(f.dataStream, model != nullptr ? optionsOf(model->scaling) : scalingOptions(s));
  // The data file is locked for the run, so the second pass may scale the
  // values the first converted instead of parsing the text again.
  preparation.keepValues(keptValuesBudget());
  preparation.limitThreads(s.threads);
  preparation.measure(&context.observer);
  if (s.recall) {
    if (!openCategoryStream(f, s)) panic("Can't find/open file: %s\n", s.categoryFile.c_str());
    preparation.restartCounter(widenByCategoryFile(f.categoryStream, preparation.ranges(), &context.observer));
  }
  if (model != nullptr) {
    // The ranges are the model's: a constant column of these rows is no
    // reason to stop, but rows of another width cannot be scaled with them.
    if (preparation.columnCount() != model->scaling.columnCount) {
      panic("Bad modelfile: %s\nINFO: Line %d: columns %d, but the datafile has %d\n", s.modelFile.c_str(),
            model_format::kColumnsLine, model->scaling.columnCount, preparation.columnCount());
    }
    context.scaling = model->scaling;
  } else {
    context.scaling = preparation.scaling();
  }
  preparation.scale(context.scaling, f.tempStream, &context.observer, model != nullptr);

  if (s.debugLevel >= 2) {
    // Every column of the file, used or not.
    const ColumnRanges& ranges = preparation.ranges();
    for (int i = 0; i < ranges.columns(); ++i) {
      consoleOut("min[%d]=%-12.6G max[%d]=%-12.6G\n", i, double{ranges.min[static_cast<size_t>(i)]}, i,
                 double{ranges.max[static_cast<size_t>(i)]});
    }
  }
  consoleErr("\n");
  const std::string& temp = f.name(ResultKind::kPrepared);
  if (!f.tempStream.close()) panic("Can't create file: %s. Disk full?\n", temp.c_str());
  createResultFiles(f, s, Created::kAfterPreparation);
  f.dataStream.close();
  if (!reopenTemporaryFile(f, static_cast<size_t>(context.scaling.inputLength()), preparation.dataRows())) {
    panic("Can't find/open file: %s\n\n", temp.c_str());
  }
  if (context.scaling.normalise) consoleErr("Normalized data. ");
  if (context.scaling.complementCoding) consoleErr("Complement coded ");
  consoleErr("FuzzyArt algorithm.\n");
}

// The parameters the run's network works with: the switches', or a model's
// with Alpha and the vigilance overridden by the command line's I and V.
NetworkParameters runParameters(const RunContext& context) {
  const RunSettings& s = context.settings;
  if (!context.model) return networkParameters(s);
  NetworkParameters p = context.model->network.parameters();
  if (s.alphaGiven) p.alpha = s.alpha;
  if (s.vigilanceGiven) p.vigilance = s.vigilance;
  p.threads = s.threads;
  return p;
}

// The categories: loaded from the +CatFile in a recall, taken from the
// model in a --model run (a network with the run's parameters, so that
// Alpha may differ), learnt otherwise.
void engagePhase(RunContext& context) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  Network& network = context.network.emplace(runParameters(context), context.scaling.inputLength());
  if (context.model) {
    const Network& stored = context.model->network;
    for (int c = 0; c < stored.categoryCount(); ++c) network.addCategory(stored.weights(c), &context.observer);
    network.resumeLearning(stored.currentBeta(), stored.passes());
  } else if (s.recall) {
    loadCategories(f.categoryStream, context.scaling, network, &context.observer);
    f.categoryStream.close();
  } else {
    network.learn(f.preparedRows, &context.observer);
  }
  consoleErr("\nFinal number of categories: %-2d\n ", network.categoryCount());
}

// Every prepared row classified: its category into the value file, counted,
// and with switch W added to the centre sums.
void recallPhase(RunContext& context) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  const Network& network = *context.network;
  consoleErr("\nWriting Categoryvaluefile:  ");
  createResultFiles(f, s, Created::kBeforeClassification);
  OutputFile& values = f.output(ResultKind::kValues);
  if (s.debugLevel >= 1) writeValueFileHeader(values, f.dataName);
  context.tally = TallyReservation::reserve(network.categoryCount(), context.scaling.variableCount(), s.writeCentres,
                                           &context.observer, true);
  Tally& tally = context.tally;
  network.classify(
      f.preparedRows,
      [&](int64_t, int category, std::span<const float> input) {
        if (category < 0) panic("Can't find category (RC). (Not enough iterations/Unstable learning?)\n");
        writeValueLine(values, category);
        tally.add(category, input);
      },
      &context.observer, ClassifyOptions{s.threads});
  if (!values.flush()) panicDiskFull();
}

void writeResultFiles(RunContext& context) {
  const RunSettings& s = context.settings;
  WorkFiles& f = context.files;
  if (s.writeCentres) {
    OutputFile& centres = f.output(ResultKind::kCentres);
    consoleErr("\nWriting CategoryCenterfile.\n");
    writeCategoryCentreFile(centres, context.tally, context.scaling, f.dataName, s.debugLevel);
    if (!centres.flush()) panicDiskFull();
  }
  if (isWritten(ResultKind::kModel, s)) {
    OutputFile& model = f.output(ResultKind::kModel);
    writeModel(model, f.name(ResultKind::kModel), context.scaling, *context.network, context.tally.counts());
    if (!model.flush()) panicDiskFull();
  }
  OutputFile& weights = f.output(ResultKind::kWeights);
  consoleErr("\nWriting Category/Weightfile.\n");
  writeCategoryWeightFile(weights, *context.network, context.scaling, context.tally.counts(), f.dataName,
                          s.debugLevel, &context.observer);
  consoleErr("\n");
  if (!weights.flush()) panicDiskFull();
}

void processDataFile(RunContext& context, const std::string& arg) {
  openWorkFiles(context, arg);
  checkStopSignal();
  prepareData(context);
  checkStopSignal();
  engagePhase(context);
  checkStopSignal();
  recallPhase(context);
  checkStopSignal();
  writeResultFiles(context);
  roughCleaning(context);
  // The count lines are lost when standard output failed: the results stay,
  // committed, and the run stops.
  checkStandardOutput();
}

void announceMode(const RunContext& context) {
  const NetworkParameters p = runParameters(context);
  if (context.settings.recall || context.model) {
    consoleErr("RECALL> \xe0:%.3f \xe1:%.3f Vigilance:%.3f Itp:%.3f\n", double{p.alpha}, double{p.beta},
               double{p.vigilance}, double{p.itp});
  } else {
    consoleErr("LEARN> Number of iterations:%d \xe0:%.3f \xe1:%.3f Vigilance:%.3f Itp:%.3f\n", p.iterations,
               double{p.alpha}, double{p.beta}, double{p.vigilance}, double{p.itp});
  }
}

// Before any data file is opened: a --save-model that names one of the
// run's data files would replace it with the first file's model.
void refuseModelOverDataFiles(const RunSettings& s, const std::vector<std::string>& args) {
  if (s.saveModelFile.empty()) return;
  const std::string model = resultName(ResultKind::kModel, std::string(), s);
  for (const std::string& arg : args) {
    if (isSwitchArgument(arg) || isCategoryArgument(arg) || isResultName(arg)) continue;
    if (arg == model || sameFile(arg, model)) panic("Modelfile would replace a file of the run: %s\n", model.c_str());
  }
}

// Before any file is opened: results that cannot go where asked are not
// put anywhere else.
void refuseMissingOutputDirectory(const RunSettings& s) {
  if (s.outputDir.empty()) return;
  struct stat info {};
  if (stat(s.outputDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    consoleErr("\nPANIC: Can't find/open file: %s\n\n", s.outputDir.c_str());
    throw RunStop{kExitUsageOrCancel};
  }
}

void finishRun(const RunSettings& s, NoticeDraw& draw, time_t stopwatchStart) {
  if (s.copyright || draw.next() < 1000) consoleErr("%s", kCopyright);
  if (s.stopwatch) {
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
  refuseMissingOutputDirectory(context.settings);
  refuseModelOverDataFiles(context.settings, args);
  // Once for the run, before anything is written: the RECALL> line shows
  // its parameters, and a bad file stops the run before any data file.
  if (context.settings.usesModel()) context.model = loadModel(context.settings.modelFile);
  keyboard = std::make_unique<KeyboardMode>();
  announceMode(context);

  // The value file's name of each data file worked on, with that file:
  // data.train.csv and data.test.csv write the same results, and the later
  // replaces the earlier's without a trace unless it is told.
  std::vector<std::pair<std::string, std::string>> written;
  for (const auto& arg : args) {
    checkStopSignal();
    if (isSwitchArgument(arg) || isCategoryArgument(arg)) continue;
    if (isResultName(arg)) {
      consoleErr("INFO: Ignoring file: %s\n", arg.c_str());
      continue;
    }
    const std::string values = resultName(ResultKind::kValues, arg, context.settings);
    const auto earlier =
        std::find_if(written.rbegin(), written.rend(), [&](const auto& w) { return w.first == values; });
    if (earlier != written.rend()) {
      consoleErr("INFO: %s writes the results of %s again (%s).\n", arg.c_str(), earlier->second.c_str(),
                 values.c_str());
    }
    processDataFile(context, arg);
    written.emplace_back(values, arg);
  }
  // A stop signal that came while the last file's results were written.
  checkStopSignal();
  flushStandardOutput();
  checkStandardOutput();
  finishRun(context.settings, draw, stopwatchStart);
}

// Standard output carries the text; a failed write of it is a failed run.
int finishStandardOutput() {
  FILE* out = consoleStreams().out;
  return out != nullptr && std::fflush(out) == 0 && !std::ferror(out) ? kExitNormal : kExitPanic;
}

int showHelp(const std::string& name) {
  printUsageText(ConsoleStream::kOut, name, false);
  printLongOptions(ConsoleStream::kOut);
  return finishStandardOutput();
}

int showVersion(const std::string& name) {
  consoleOut("%s %s%s", name.c_str(), kVersion, kCopyright);
  return finishStandardOutput();
}

// A stop of the library's work: a cancel, or a PANIC with its message.
int reportStop(const Error& error, RunContext& context) {
  if (error.kind() == ErrorKind::kCancelled) {
    try {
      cancelRun();
    } catch (const RunStop& stop) {
      return stop.exitCode;
    }
  }
  consoleErr("\nPANIC: %s", error.what());
  if (const auto* bad = dynamic_cast<const BadRowError*>(&error)) tellBadRowPlace(bad->place());
  tellZeroRow(error, context.files.preparedRows, context.observer.learningRow());
  return kExitPanic;
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
  // --help and --version (the first of them decides) do nothing else: no
  // banner, no switches, no file.
  for (const std::string& arg : request.args) {
    if (arg == "--help" || arg == "--version") {
      const std::string name = request.programName.empty() ? deriveProgramName(request.argv0) : request.programName;
      return arg == "--help" ? showHelp(name) : showVersion(name);
    }
  }
  resetSignals();
  resetConsoleOutput();
  auto context = std::make_unique<RunContext>();
  std::unique_ptr<KeyboardMode> keyboard;
  int exitCode = kExitNormal;
  try {
    runStages(*context, request, keyboard);
  } catch (const RunStop& stop) {
    exitCode = stop.exitCode;
  } catch (const Error& error) {
    exitCode = reportStop(error, *context);
  } catch (const std::bad_alloc&) {
    consoleErr("\nPANIC: Not enough memory.\n");
    exitCode = kExitPanic;
  }
  majorClean(*context);
  keyboard.reset();
  flushStandardOutput();
  return exitCode;
}

}  // namespace fuzzyart
