// The category centre file (.BKC): the mean of the rows each category
// accepted, in the units of the data.
#include <string>

#include "base/failure.h"
#include "base/reservation.h"
#include "results/result_streams.h"

namespace fuzzyart {

void reserveCentreSums(Tally& tally, int categories, int variableCount, Observer* observer) {
  // The table of per-category references is reported as 4 bytes a category.
  reserveReported(observer, {Reservation::kCentreTable, int64_t{categories} * 4, false, 0, ""},
                  [&] { return tally.sums.resize(static_cast<size_t>(categories)), true; },
                  "Not enough memory for meanvector.\n", true);
  for (int i = 0; i < categories; ++i) {
    reserveReported(
        observer, {Reservation::kCentreSums, int64_t{variableCount} * 4, false, i, ""},
        [&] { return tally.sums[static_cast<size_t>(i)].assign(static_cast<size_t>(variableCount), 0.0f), true; },
        "Not enough memory for mvector" + std::to_string(i) + ".\n", true);
  }
}

std::vector<double> centreOf(const Tally& tally, int category, const Scaling& scaling) {
  // A caller's category or ranges that do not fit the tally must not read
  // outside it.
  const auto at = static_cast<size_t>(category);
  if (category < 0 || at >= tally.sums.size() || at >= tally.counts.size() ||
      tally.sums[at].size() > scaling.min.size() || tally.sums[at].size() > scaling.max.size()) {
    fail(ErrorKind::kInvalidParameter, "No centre sums for category %d\n", category);
  }
  const std::vector<float>& sums = tally.sums[at];
  const double count = static_cast<double>(tally.counts[at]);
  std::vector<double> centre(sums.size());
  for (size_t j = 0; j < sums.size(); ++j) {
    // The mean is stored in single precision before it is brought to data
    // units; a category without rows gives 0/0, not a number.
    const float mean = static_cast<float>(double{sums[j]} / count);
    centre[j] = unscaleValue(mean, scaling.min[j], scaling.max[j]);
  }
  return centre;
}

void writeCategoryCentreFile(OutputFile& file, const Tally& tally, const Scaling& scaling,
                             const std::string& dataName, int detail) {
  if (detail >= 1 && !file.print("! Computed CategoryCenters for datafile: %s\n", dataName.c_str())) failDiskFull();
  for (size_t i = 0; i < tally.sums.size(); ++i) {
    for (double value : centreOf(tally, static_cast<int>(i), scaling)) {
      if (!file.print("%-12.6G ", value)) failDiskFull();
    }
    if (!file.print("\n")) failDiskFull();
  }
}

}  // namespace fuzzyart
