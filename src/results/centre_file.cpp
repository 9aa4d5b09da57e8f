#include "results/centre_file.h"

#include <new>

#include "data/ranges.h"
#include "engine/category_table.h"
#include "results/output_file.h"
#include "run/console.h"

namespace fuzzyart {

void reserveCentreSums(CentreSums& centres, int count, int variableCount, int debugLevel) {
  // The table of per-category references is reported as 4 bytes a category;
  // a reservation of nothing counts as failed.
  long long tableBytes = static_cast<long long>(count) * 4;
  if (count == 0 || !reservationAllowed()) {
    consoleErr("\nAttemted to reserve %lld bytes memory.", tableBytes);
    panic("Not enough memory for meanvector.\n");
  }
  centres.held = true;
  if (debugLevel >= 2) consoleErr("\n%lld bytes memory reserved.\n", tableBytes);
  centres.mvectors.resize(static_cast<size_t>(count));
  long long bytes = static_cast<long long>(variableCount) * 4;
  for (int i = 0; i < count; ++i) {
    bool reserved = variableCount > 0 && reservationAllowed();
    if (reserved) {
      try {
        centres.mvectors[static_cast<size_t>(i)].assign(static_cast<size_t>(variableCount), 0.0f);
      } catch (const std::bad_alloc&) {
        reserved = false;
      }
    }
    if (!reserved) {
      consoleErr("\nAttemted to reserve %lld bytes memory.", bytes);
      panic("Not enough memory for mvector%d.\n", i);
    }
    if (debugLevel >= 2) consoleErr("\n%lld bytes memory reserved.\n", bytes);
  }
}

void writeCategoryCenters(OutputFile& file, CentreSums& centres, const CategoryTable& table, const Ranges& ranges,
                          const std::string& dataName, int variableCount, int debugLevel) {
  consoleErr("\nWriting CategoryCenterfile.\n");
  if (debugLevel >= 1) writeChecked(file, "! Computed CategoryCenters for datafile: %s\n", dataName.c_str());
  for (int i = 0; i < table.count(); ++i) {
    std::vector<float>& sums = centres.mvectors[static_cast<size_t>(i)];
    const double count = static_cast<double>(table.counts(i));
    for (int j = 0; j < variableCount; ++j) {
      // The mean is stored back in single precision before it is brought to
      // data units; a category without rows gives 0/0, not a number.
      sums[static_cast<size_t>(j)] = static_cast<float>(double{sums[static_cast<size_t>(j)]} / count);
      writeChecked(file, "%-12.6G ", unscaleValue(ranges, sums[static_cast<size_t>(j)], j));
    }
    writeChecked(file, "\n");
  }
  if (!file.flush()) panicDiskFull();
}

}  // namespace fuzzyart
