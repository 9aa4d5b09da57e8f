// The category centre file (switch W): the mean of the rows each category
// accepted in recall, in the units of the data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fuzzyart {

class CategoryTable;
class OutputFile;
struct Ranges;

// Per category, the single-precision sums of the accepted rows' variables.
struct CentreSums {
  std::vector<std::vector<float>> mvectors;  // one per category ("mvector<i>")
  bool held = false;                         // the "meanvector" is reserved
  void release() {
    mvectors.clear();
    mvectors.shrink_to_fit();
    held = false;
  }
};

// Reserves the sums of `count` categories, with the memory reports; no
// category at all is a failed reservation of zero bytes.
void reserveCentreSums(CentreSums& centres, int count, int variableCount, int debugLevel);

// Adds the first variableCount values of an accepted row to its category.
inline void addToCentre(CentreSums& centres, int category, const float* row, int variableCount) {
  float* sums = centres.mvectors[static_cast<size_t>(category)].data();
  for (int j = 0; j < variableCount; ++j) sums[j] += row[j];
}

// Prints "\nWriting CategoryCenterfile.\n" and writes one row of means per
// category; every write is checked.
void writeCategoryCenters(OutputFile& file, CentreSums& centres, const CategoryTable& table, const Ranges& ranges,
                          const std::string& dataName, int variableCount, int debugLevel);

}  // namespace fuzzyart
