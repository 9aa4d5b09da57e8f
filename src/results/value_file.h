// The category value file (.FAF): the category number of every data row, one
// per line; the rows themselves are written by recall.
#pragma once

#include <string>

namespace fuzzyart {

class OutputFile;

// Prints "\nWriting Categoryvaluefile:  ", creates the file (a PANIC when it
// cannot be) and, at debug level 1 or more, writes its "!" header line.
void openCategoryValueFile(OutputFile& file, const std::string& valueName, const std::string& dataName,
                           int debugLevel);

}  // namespace fuzzyart
