#include "results/value_file.h"

#include "results/output_file.h"
#include "run/console.h"

namespace fuzzyart {

void openCategoryValueFile(OutputFile& file, const std::string& valueName, const std::string& dataName,
                           int debugLevel) {
  consoleErr("\nWriting Categoryvaluefile:  ");
  if (!file.create(valueName)) panic("Can't create file: %s\n\n", valueName.c_str());
  if (debugLevel >= 1) writeChecked(file, "! Categoryvaluefile for datafile: %s\n", dataName.c_str());
}

}  // namespace fuzzyart
