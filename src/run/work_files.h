// The names and streams of the data file being worked on, and the run's state
// for one data file. One record for the whole run, reused for each data file;
// every stream is either open or closed, so the exit clean-up closes exactly
// what is still open.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "base/output_file.h"
#include "data/preparation.h"
#include "data/record_file.h"
#include "data/text_file.h"
#include "fuzzyart/fuzzyart.h"
#include "run/console_observer.h"
#include "run/result_kinds.h"
#include "run/switches.h"

namespace fuzzyart {

struct WorkFiles {
  std::string dataName;  // the data-file argument as given
  // By kind (result_kinds.h): the names of the files the run writes for
  // this data file (empty for a kind it does not write), and the files of
  // the committed kinds (the others' stay closed).
  std::array<std::string, kResultKindCount> names;
  std::array<OutputFile, kResultKindCount> outputs;
  const std::string& name(ResultKind kind) const { return names[indexOf(kind)]; }
  OutputFile& output(ResultKind kind) { return outputs[indexOf(kind)]; }

  TextFile dataStream;              // the data file, read as text by preparation
  RecordFileReader preparedRows;    // the temporary file, read back after preparation
  RecordFileWriter tempStream;      // the temporary file, written by preparation
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

// Everything that lives for one data file, and what the run keeps for all:
// its settings, and the network of a --model run.
struct RunContext {
  RunSettings settings;
  ConsoleObserver observer{settings};
  std::optional<Model> model;
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

// The names of every kind the run writes for the data file.
void nameResultFiles(WorkFiles& files, const RunSettings& settings);

// Creates, under their hidden names, the committed kinds the run writes
// that are created at this step, in the order of the kinds; one that cannot
// be created stops the run ("Can't create file").
void createResultFiles(WorkFiles& files, const RunSettings& settings, Created step);

// Closes every committed kind, checked, then gives each that the run writes
// its final name, in commit order; false when a write, a close or a rename
// failed.
bool commitResultFiles(WorkFiles& files, const RunSettings& settings);

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
