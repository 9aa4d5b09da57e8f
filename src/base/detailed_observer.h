// The observer of the command line's console: besides progress it hears of
// every memory reservation, of the row that has another number of values than
// the first, and of each category row of a category/weight file being
// written. The library tells these to an observer of this kind only, found
// with dynamic_cast, so that the public Observer holds what a library caller
// uses and no more.
#pragma once

#include <cstdint>
#include <string_view>

#include "fuzzyart/observer.h"

namespace fuzzyart {

// What a memory reservation was for.
enum class Reservation {
  kCategory,     // a category's weights; index is the category (from 0)
  kRangeVector,  // a range vector; name is "MIN" or "MAX"
  kCentreTable,  // the table of centre sums, 4 bytes per category
  kCentreSums,   // one category's centre sums; index is the category
};

struct ReservationReport {
  Reservation what;
  int64_t bytes = 0;  // as the console reports it, not necessarily what is held
  bool granted = false;
  int index = 0;
  const char* name = "";
};

// What the first pass over a data file passed over in silence: the data
// ended at a line without values while a later line holds one (endLine 0
// when not), and rows with text glued to a number (gluedRows 0 when none).
struct PassOverNotes {
  std::string_view file;
  int64_t endLine = 0;
  int64_t linesAfter = 0;
  int64_t gluedLine = 0;
  std::string_view gluedField;
  int64_t gluedRows = 0;
};

class DetailedObserver : public Observer {
 public:
  // The first pass over a data file ended normally, with something passed
  // over that the user may not expect; told before any check that follows.
  virtual void onPassedOver(const PassOverNotes& notes) { (void)notes; }

  // Memory asked for, granted or not. A request that is not granted stops
  // the work with kind kOutOfMemory right after this report.
  virtual void onReservation(const ReservationReport& report) { (void)report; }

  // A row whose number of values differs from the first row's: the line as
  // read (its line feed included when it has one), its count and the file's
  // column count. The row then stops the work as a bad row.
  virtual void onRowMismatch(std::string_view line, int count, int columnCount) {
    (void)line, (void)count, (void)columnCount;
  }

  // The category/weight file is about to write the row of a category (from
  // 0) with the number of rows classified into it.
  virtual void onCategoryWritten(int category, int64_t count) { (void)category, (void)count; }
};

// The observer as one that hears the details, or null.
inline DetailedObserver* detailedObserver(Observer* observer) { return dynamic_cast<DetailedObserver*>(observer); }

}  // namespace fuzzyart
