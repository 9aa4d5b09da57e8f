// What long work tells its caller while it runs, and how the caller stops it.
// Every method has a default that does nothing (and never cancels), so a
// caller overrides only what it shows. The library itself never prints.
#pragma once

#include <cstdint>
#include <string_view>

namespace fuzzyart {

// The loops that handle one row at a time.
enum class RowLoop {
  kMeasure,       // preparation, first pass over the data: checks and ranges
  kCategoryRows,  // first reading of a stored category/weight file
  kScale,         // preparation, second pass: scaled rows written out
  kLearn,         // a learning pass
  kClassify,      // classification of every row
};

// What a memory reservation was for.
enum class Reservation {
  kCategory,     // a category's weights; index is the category (from 0)
  kRangeVector,  // a range vector; name is "MIN" or "MAX"
  kCentreTable,  // the table of centre sums, 4 bytes per category
  kCentreSums,   // one category's centre sums; index is the category
};

struct ReservationReport {
  Reservation what;
  int64_t bytes = 0;
  bool granted = false;
  int index = 0;
  const char* name = "";
};

class Observer {
 public:
  virtual ~Observer() = default;

  // A row loop is about to handle a row. counter counts the loop's rows so
  // far (preparation's counter runs on from the first pass into the second;
  // a recall's stored category rows restart it); categories is the number
  // of categories so far. Returning false stops the work, which then throws
  // Error with kind kCancelled.
  virtual bool onRow(RowLoop loop, int64_t counter, int categories) {
    (void)loop, (void)counter, (void)categories;
    return true;
  }

  // A learning pass begins (pass from 1) with the Beta it learns with, or
  // has ended.
  virtual void onPassStart(int pass, int categories, float beta) { (void)pass, (void)categories, (void)beta; }
  virtual void onPassEnd(int pass, int categories) { (void)pass, (void)categories; }

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

}  // namespace fuzzyart
