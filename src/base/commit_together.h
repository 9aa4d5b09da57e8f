// Closed replacing files (OutputFile::createReplacing) that take their final
// names all together or not at all.
#pragma once

#include <span>
#include <string>

namespace fuzzyart {

class OutputFile;

// Why the files could not take their names: the system's error number and
// the name (as shown) at fault. An error of 0 is success.
struct CommitFailure {
  int error = 0;
  std::string path;
  explicit operator bool() const { return error != 0; }
};

// Renames each file over its final name, in the order given. Every final
// name is looked at first, and one that is a directory stops the commit
// before any rename. The files a rename replaces keep a second, hidden name
// until the last rename is done, so that when a rename still fails, every
// name renamed so far gets its old file back (or none, where there was
// none): the names show either all the old files or all the new ones. The
// files not committed stay pending, for the caller to discard.
CommitFailure commitTogether(std::span<OutputFile* const> files);

}  // namespace fuzzyart
