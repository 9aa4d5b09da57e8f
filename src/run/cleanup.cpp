#include "run/cleanup.h"

#include "run/console.h"
#include "run/work_files.h"

namespace fuzzyart {

namespace {

// The categories, the centre sums and the ranges of the data file go.
void releaseFileState(RunContext& context) {
  context.network.reset();
  context.tally = Tally{};
  context.preparation.reset();
  context.scaling = Scaling{};
}

}  // namespace

void roughCleaning(RunContext& context) {
  if (context.settings.debugLevel >= 2) consoleOut("\nRoughCleaning\n");
  releaseFileState(context);
  WorkFiles& f = context.files;
  f.preparedRows.close();
  f.dataStream.close();
  // Every result file is complete and on disk before any replaces its name,
  // so that a stop never leaves results that do not belong together.
  bool closed = f.weightStream.close();
  closed = f.valueStream.close() && closed;
  closed = f.centreStream.close() && closed;
  if (!closed) panicDiskFull();
  for (OutputFile* file : {&f.valueStream, &f.centreStream, &f.weightStream}) {
    if (file == &f.centreStream && !context.settings.writeCentres) continue;
    if (!file->commit()) panicDiskFull();
    trackResultFiles(f);
  }
  releaseLocks(f);
}

void majorClean(RunContext& context) {
  const bool report = context.settings.debugLevel >= 2;
  if (report) consoleErr("\nMajorClean...");
  releaseFileState(context);
  closeAllStreams(context.files);
  if (report) consoleErr("Ready!\n");
}

}  // namespace fuzzyart
