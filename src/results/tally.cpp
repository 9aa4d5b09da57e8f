#include "fuzzyart/tally.h"

#include <string>

#include "base/failure.h"
#include "base/reservation.h"
#include "data/scaling_check.h"
#include "results/result_streams.h"

namespace fuzzyart {

Tally TallyReservation::reserve(int categories, int variables, bool centres, Observer* observer, bool emptyFails) {
  Tally tally;
  tally.counts_.assign(static_cast<size_t>(categories), 0);
  if (!centres) return tally;
  // The sums are doubles now; the reports keep the 4 bytes a value that
  // the console has always shown.
  reserveReported(observer, {Reservation::kCentreTable, int64_t{categories} * 4, false, 0, ""},
                  [&] { return tally.sums_.resize(static_cast<size_t>(categories)), true; },
                  "Not enough memory for meanvector.\n", emptyFails);
  for (int i = 0; i < categories; ++i) {
    reserveReported(
        observer, {Reservation::kCentreSums, int64_t{variables} * 4, false, i, ""},
        [&] { return tally.sums_[static_cast<size_t>(i)].assign(static_cast<size_t>(variables), 0.0), true; },
        "Not enough memory for mvector" + std::to_string(i) + ".\n", emptyFails);
  }
  tally.variables_ = variables;
  return tally;
}

Tally::Tally(const Network& network) : counts_(static_cast<size_t>(network.categoryCount()), 0) {}

Tally::Tally(const Network& network, const Scaling& scaling) {
  checkScaling(scaling);
  if (scaling.inputLength() != network.inputLength()) {
    fail(ErrorKind::kInvalidParameter, "A scaling of input length %d for a network of %d.\n", scaling.inputLength(),
         network.inputLength());
  }
  *this = TallyReservation::reserve(network.categoryCount(), scaling.variableCount(), true, nullptr, false);
}

void Tally::add(int category, std::span<const float> input) {
  if (category == -1) {
    ++unclassified_;
    return;
  }
  // A caller's slip must not write outside the tables.
  if (category < 0 || category >= categoryCount()) {
    fail(ErrorKind::kInvalidParameter, "No category %d in a tally of %d.\n", category, categoryCount());
  }
  const auto at = static_cast<size_t>(category);
  if (hasCentres()) {
    std::vector<double>& sums = sums_[at];
    if (input.size() < sums.size()) {
      fail(ErrorKind::kInvalidParameter, "A row of %zu values for sums of %zu variables.\n", input.size(),
           sums.size());
    }
    // In double: a float sum stops growing past 2^24 rows of 1, and drifts
    // long before.
    for (size_t j = 0; j < sums.size(); ++j) sums[j] += double{input[j]};
  }
  ++counts_[at];
}

std::vector<double> Tally::centre(int category, const Scaling& scaling) const {
  if (!hasCentres() || category < 0 || category >= categoryCount()) {
    fail(ErrorKind::kInvalidParameter, "No centre sums for category %d\n", category);
  }
  checkScaling(scaling);
  if (scaling.variableCount() != variables_) {
    fail(ErrorKind::kInvalidParameter, "A scaling of %d variables for centres of %d.\n", scaling.variableCount(),
         variables_);
  }
  const std::vector<double>& sums = sums_[static_cast<size_t>(category)];
  const double count = static_cast<double>(counts_[static_cast<size_t>(category)]);
  std::vector<double> centre(sums.size());
  for (size_t j = 0; j < sums.size(); ++j) {
    // The mean is stored in single precision before it is brought to data
    // units; a category without rows gives 0/0, not a number.
    const float mean = static_cast<float>(sums[j] / count);
    centre[j] = unscaleValue(mean, scaling.min[j], scaling.max[j]);
  }
  return centre;
}

Classification classifyAll(const Network& network, RowSource& rows, const Scaling& scaling, Observer* observer,
                           ClassifyOptions options) {
  Classification result{{}, Tally(network, scaling)};
  network.classify(
      rows,
      [&](int64_t, int category, std::span<const float> input) {
        result.categories.push_back(category);
        result.tally.add(category, input);
      },
      observer, options);
  return result;
}

}  // namespace fuzzyart
