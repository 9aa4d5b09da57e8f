// The names and streams of the data file being worked on, and the run's state
// for one data file. One record for the whole run, reused for each data file;
// every stream is either open or closed, so the exit clean-up closes exactly
// what is still open.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/output_file.h"
#include "data/preparation.h"
#include "data/record_file.h"
#include "data/text_file.h"
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

  // Descriptors that hold the exclusive locks of the data file and the
  // temporary file until the data file's work is complete, so that no
  // other run works on either meanwhile.
  int dataLock = -1;
  int tempLock = -1;
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

// Locks the open data file for this run; another run's lock stops the run
// with "File in use by another run".
void lockDataFile(WorkFiles& files);

// Opens the temporary file for writing without following a link at its name
// (a link there is removed and a file created in its place), locks it, and
// only then empties it; another run's lock stops the run before anything of
// that run is touched.
void createTemporaryFile(WorkFiles& files);

// Reads the temporary file back through the locked descriptor.
bool reopenTemporaryFile(WorkFiles& files, size_t recordLength, int64_t records);

// Tells the fatal signals which incomplete result files to remove.
void trackResultFiles(const WorkFiles& files);

// Releases the locks of the data file's work.
void releaseLocks(WorkFiles& files);

// Opens the +CatFile for reading, from the kept copy when there is one.
bool openCategoryStream(WorkFiles& files, const RunSettings& settings);

// Closes every stream of the work files without checking, and removes the
// result files that were not complete (the exit clean-up).
void closeAllStreams(WorkFiles& files);

}  // namespace fuzzyart
