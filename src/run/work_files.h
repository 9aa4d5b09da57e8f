// The names and streams of the data file being worked on, and the run's state
// for one data file. One record for the whole run, reused for each data file;
// every stream is either open or closed, so the exit clean-up closes exactly
// what is still open.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "fuzzyart/fuzzyart.h"
#include "run/console_observer.h"
#include "run/switches.h"

namespace fuzzyart {

struct WorkFiles {
  std::string dataName;    // the data-file argument as given
  std::string weightName;  // .FAC
  std::string valueName;   // .FAF
  std::string centreName;  // .BKC, with switch W only
  std::string tempName;    // .BIN, in the -B directory when given

  TextFile dataStream;              // the data file, read as text by preparation
  RecordFileReader preparedRows;    // the temporary file, read back after preparation
  RecordFileWriter tempStream;      // the temporary file, written by preparation
  OutputFile weightStream;
  OutputFile valueStream;
  OutputFile centreStream;
  TextFile categoryStream;          // the +CatFile of a recall run

  // The +CatFile's bytes, kept for the rest of the run once the run was about
  // to create a file that is the category file itself (same device and inode).
  std::shared_ptr<const std::string> categoryCopy;
};

// Everything that lives for one data file.
struct RunContext {
  RunSettings settings;
  ConsoleObserver observer{settings};
  WorkFiles files;
  std::optional<Preparation> preparation;
  Scaling scaling;
  std::optional<Network> network;
  Tally tally;
};

// True when both names exist and are the same file (device and inode).
bool sameFile(const std::string& a, const std::string& b);

// Before a file of the current data file is created: when that file is the
// +CatFile of a recall run, its rows are first read into memory, so that
// writing the file cannot change the stored categories for the rest of the
// run.
void beforeCreating(WorkFiles& files, const RunSettings& settings, const std::string& nameToCreate);

// The temporary file is written in place: when it is the data file itself
// (through a link), the run stops with "Can't create file" rather than empty
// the data. (The result files replace their names only when complete.)
void refuseDataFile(const WorkFiles& files, const std::string& nameToCreate);

// Opens the +CatFile for reading, from the kept copy when there is one.
bool openCategoryStream(WorkFiles& files, const RunSettings& settings);

// Closes every stream of the work files without checking, and removes the
// result files that were not complete (the exit clean-up).
void closeAllStreams(WorkFiles& files);

}  // namespace fuzzyart
