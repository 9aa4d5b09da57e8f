// The category value file (.FAF): the category of every data row.
#include "base/failure.h"
#include "results/result_streams.h"

namespace fuzzyart {

void writeValueFileHeader(OutputFile& file, const std::string& dataName) {
  if (!file.print("! Categoryvaluefile for datafile: %s\n", dataName.c_str())) failDiskFull();
}

void writeValueLine(OutputFile& file, int category) {
  if (!file.printLine(category + 1)) failDiskFull();
}

}  // namespace fuzzyart
