// The files a run writes for a data file, and the one table of what each
// kind is: its extension, when it is written, whether it is written under a
// hidden name and committed or written in place, when it is created, the
// order in which the committed kinds take their final names, and the slot
// of the fatal-signal handlers that holds its hidden name. Every loop that
// creates, closes, commits, discards or tracks result files, the test of
// names that are results, and the usage text take the kinds from here.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "run/switches.h"

namespace fuzzyart {

enum class ResultKind : int { kWeights, kValues, kPrepared, kCentres, kModel };
inline constexpr size_t kResultKindCount = 5;

enum class Written {
  kAlways,
  kWithCentres,  // switch W
  kWithModel,    // --save-model
};

enum class Writing {
  // Under a hidden name beside the final one, renamed over it once the data
  // file's work is complete: a run that stops leaves the earlier file.
  kCommitted,
  // At its name from the start: the .BIN, which the run reads back and
  // keeps, even after a stop, as far as it was written.
  kInPlace,
};

// The step of a data file's work at which a kind is created.
enum class Created {
  kAtStart,               // before the data file is read
  kAfterPreparation,      // once the prepared rows are complete
  kBeforeClassification,  // once the categories are learnt or loaded
};

struct ResultKindInfo {
  ResultKind kind;
  const char* extension;  // nullptr: the command line names the file
  Written written;
  Writing writing;
  Created created;
  int commitRank;  // committed kinds take their final names in ascending rank
  int signalSlot;  // where the fatal-signal handlers keep its hidden name; -1: none
};

// Every kind, in the order of the extension table (.FAC, .FAF, .BIN, .BKC),
// then the model file.
std::span<const ResultKindInfo> resultKinds();
const ResultKindInfo& infoOf(ResultKind kind);
constexpr size_t indexOf(ResultKind kind) { return static_cast<size_t>(kind); }
const char* extensionOf(ResultKind kind);

// The committed kinds in the order they take their final names: .FAF,
// .BKC, the model file, .FAC.
const std::array<ResultKind, kResultKindCount - 1>& commitOrder();

// Whether the run writes a kind for each data file.
bool isWritten(ResultKind kind, const RunSettings& settings);

// The name of a kind's file for a data file: the data file's name with the
// kind's extension (the .BIN in the -B directory when there is one), or
// the name the command line gave.
std::string resultName(ResultKind kind, const std::string& dataName, const RunSettings& settings);
// name within directory (name itself for an empty directory).
std::string inDirectory(const std::string& directory, const std::string& name);

// The name with its extension replaced: everything from the first "." of the
// final path component on gives way to the extension; a name without one gets
// it appended. "dir.v2/A.B.DAT" with ".FAC" gives "dir.v2/A.FAC".
std::string replaceExtension(const std::string& name, const std::string& extension);

// True when the name holds one of the result extensions anywhere, in any
// letter case: such a file is the program's own output and is not read.
bool isResultName(const std::string& name);

}  // namespace fuzzyart
