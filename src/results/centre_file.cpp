// The category centre file (.BKC): the mean of the rows each category
// accepted, in the units of the data.
#include <string>

#include "base/failure.h"
#include "base/number_text.h"
#include "results/result_streams.h"

namespace fuzzyart {

void writeCategoryCentreFile(OutputFile& file, const Tally& tally, const Scaling& scaling,
                             const std::string& dataName, int detail) {
  if (detail >= 1 && !file.print("! Computed CategoryCenters for datafile: %s\n", dataName.c_str())) failDiskFull();
  std::string line;
  for (int i = 0; i < tally.categoryCount(); ++i) {
    line.clear();
    for (double value : tally.centre(i, scaling)) {
      appendGeneral6(line, value);
      line.push_back(' ');
    }
    line.push_back('\n');
    if (!file.write(line)) failDiskFull();
  }
}

}  // namespace fuzzyart
