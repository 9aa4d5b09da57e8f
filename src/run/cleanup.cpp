#include "run/cleanup.h"

#include "run/console.h"
#include "run/work_files.h"

namespace fuzzyart {

void roughCleaning(RunContext& context) {
  if (context.settings.debugLevel >= 2) consoleOut("\nRoughCleaning\n");
  context.table.releaseCategories();
  context.centres.release();
  context.ranges.release();
  WorkFiles& f = context.files;
  f.preparedRows.close();
  f.dataStream.close();
  bool closed = f.weightStream.close();
  closed = f.valueStream.close() && closed;
  closed = f.centreStream.close() && closed;
  if (!closed) panicDiskFull();
}

void majorClean(RunContext& context) {
  const bool report = context.settings.debugLevel >= 2;
  if (report) consoleErr("\nMajorClean...");
  context.table.releaseCategories();
  context.centres.release();
  context.ranges.release();
  closeAllStreams(context.files);
  if (report) consoleErr("Ready!\n");
}

}  // namespace fuzzyart
