// What classifying rows gathers per category: how many rows each category
// took and, where asked for, the sums that its centre comes from. Sized by
// the library for the network's categories.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "fuzzyart/data.h"
#include "fuzzyart/network.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/rows.h"

namespace fuzzyart {

class Tally {
 public:
  // No category.
  Tally() = default;
  // The counts of the network's categories.
  explicit Tally(const Network& network);
  // The counts, and the centre sums of the scaling's variables (the first
  // variableCount() values of every row, the scaled columns without their
  // complements). The scaling must be the one the network's rows are
  // prepared with; another input length is refused (kInvalidParameter).
  Tally(const Network& network, const Scaling& scaling);

  // One classified row: its category from 0, or -1 for a row that no
  // category accepts (counted in unclassified()). A category outside the
  // network's, or a row too short for the sums, is refused
  // (kInvalidParameter) and counted nowhere.
  void add(int category, std::span<const float> input);

  int categoryCount() const { return static_cast<int>(counts_.size()); }
  // The rows of each category, category 0 first.
  const std::vector<int64_t>& counts() const { return counts_; }
  int64_t unclassified() const { return unclassified_; }
  bool hasCentres() const { return variables_ > 0; }

  // The mean of a category's rows in data units, as the centre file holds it:
  // the sums are kept in double, the mean of the scaled values is rounded
  // once to single precision and then unscaled in double. A category without
  // rows gives NaN values. Needs centres, a category from 0 to
  // categoryCount() - 1 and the scaling the tally was made with; Error
  // (kInvalidParameter) otherwise.
  std::vector<double> centre(int category, const Scaling& scaling) const;

 private:
  friend struct TallyReservation;  // the library's own way to make one
  std::vector<int64_t> counts_;
  std::vector<std::vector<double>> sums_;  // per category, variables_ each, with centres only
  int variables_ = 0;
  int64_t unclassified_ = 0;
};

// Every row of a source classified, in order.
struct Classification {
  std::vector<int> categories;  // per row: its category from 0, or -1 where none accepts it
  Tally tally;                  // with centres
};

// Classifies every row of the source against the network (Network::classify
// with its options) and tallies them with the centres of the scaling's
// variables.
Classification classifyAll(const Network& network, RowSource& rows, const Scaling& scaling,
                           Observer* observer = nullptr, ClassifyOptions options = {});

}  // namespace fuzzyart
