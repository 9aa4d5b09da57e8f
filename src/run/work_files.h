// The names and streams of the data file being worked on, and the run's state
// for one data file. One record for the whole run, reused for each data file;
// every stream is either open or closed, so the exit clean-up closes exactly
// what is still open.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "base/directory.h"
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
  // By kind: the directory its file goes into, held open from the file's
  // creation on (kinds in one directory share it), so that the run completes
  // or cleans up there even when the directory is moved meanwhile.
  std::array<std::shared_ptr<const Directory>, kResultKindCount> directories;
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
  // The mode bits the temporary file takes once the data file's work is
  // over (it has 0600 until then); -1 before it is created.
  int tempMode = -1;
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

// Before anything is created: a temporary file at the name (or the inode) of
// the data file, the +CatFile or the --model file would destroy it, and the
// run stops ("Can't create file" and an INFO line that names it).
void refuseTemporaryFileOverInputs(const WorkFiles& files, const RunSettings& settings);

// Closes every committed kind, checked, then gives each that the run writes
// its final name, in commit order, all or none (commit_together.h). A failed
// write or close stops the run with "Can't write to disk. Disk full?", a
// failed rename with that and an INFO line of the system's reason and the
// name.
void commitResultFiles(WorkFiles& files, const RunSettings& settings);

// Locks the open data file for this run; another run's lock stops the run
// with "File in use by another run".
void lockDataFile(WorkFiles& files);

// Creates the temporary file as a new file that no one else can have open
// (mode 0600 while the run works, locked): at a free name directly, over a
// link by removing the link first, over a regular file by renaming a new one
// over it. A file there that belongs to another user or that every user may
// write is never used ("Can't create file" and an INFO line that says why),
// and another run's lock on it stops the run before anything of that run is
// touched ("File in use by another run").
void createTemporaryFile(WorkFiles& files);

// Reads the temporary file back through the locked descriptor.
bool reopenTemporaryFile(WorkFiles& files, size_t recordLength, int64_t records);

// Tells the fatal signals which incomplete result files to remove.
void trackResultFiles(const WorkFiles& files);

// Gives the temporary file its lasting mode bits and releases the locks of
// the data file's work.
void releaseLocks(WorkFiles& files);

// Opens the +CatFile for reading, from the kept copy when there is one.
bool openCategoryStream(WorkFiles& files, const RunSettings& settings);

// Closes every stream of the work files without checking, and removes the
// result files that were not complete (the exit clean-up).
void closeAllStreams(WorkFiles& files);

}  // namespace fuzzyart
