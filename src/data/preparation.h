// Data preparation: a data file becomes the network's input, one prepared
// record per data row in the temporary file, with the column ranges MIN and
// MAX that scale it.
#pragma once

#include <functional>

namespace fuzzyart {

struct RunContext;

// The whole preparation of the current data file. On return the temporary
// file is open for reading as files.preparedRows, the category/weight file has
// been created, the ranges hold the variables' ranges in their first
// variableCount entries, and the header line ending in "FuzzyArt algorithm."
// has been printed. Every failure stops the run.
void prepareDataFile(RunContext& context);

// Test seam: called between the two passes over the data file, before it is
// read again (a test changes the file there). Empty in the program.
void setBetweenPassesHook(std::function<void()> hook);

}  // namespace fuzzyart
