// The console picture of the work the library does: the spinners and the
// progress of the row loops, the learning passes' lines, the memory reports,
// the row-count mismatch line and the category count lines; and the cancel
// (a key or a stop signal), asked once per row.
#pragma once

#include <cstdint>

#include "base/detailed_observer.h"
#include "run/switches.h"

namespace fuzzyart {

class ConsoleObserver : public DetailedObserver {
 public:
  explicit ConsoleObserver(const RunSettings& settings) : settings_(settings) {}

  // A data file begins: its preparation's spinner starts from the first
  // character again.
  void startFile() {
    preparationTicks_ = 0;
    learningRow_ = -1;
  }
  // The row of the learning pass last begun (from 0), where a learning
  // stop came from; -1 before any.
  int64_t learningRow() const { return learningRow_; }

  bool onRow(RowLoop loop, int64_t counter, int categories) override;
  void onPassStart(int pass, int categories, float beta) override;
  void onPassEnd(int pass, int categories) override;
  void onReservation(const ReservationReport& report) override;
  void onPassedOver(const PassOverNotes& notes) override;
  void onRowMismatch(std::string_view line, int count, int columnCount) override;
  void onCategoryWritten(int category, int64_t count) override;

 private:
  const RunSettings& settings_;
  int64_t preparationTicks_ = 0;  // both passes of preparation share one spinner
  int64_t passSteps_ = 0;         // progress steps of the current learning pass
  int64_t recallTicks_ = 0;
  int64_t learningRow_ = -1;
};

}  // namespace fuzzyart
