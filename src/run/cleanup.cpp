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
  commitResultFiles(f, context.settings);
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
