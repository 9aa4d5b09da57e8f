// What long work tells its caller while it runs, and how the caller stops it.
// Every method has a default that does nothing (and never cancels), so a
// caller overrides only what it shows. The library itself never prints.
#pragma once

#include <cstdint>

namespace fuzzyart {

// The loops that handle one row at a time.
enum class RowLoop {
  kMeasure,       // reading a data file: checks and ranges
  kCategoryRows,  // reading a stored category/weight file
  kScale,         // scaling the rows of a data file (the command line's second pass)
  kLearn,         // a learning pass
  kClassify,      // classification of every row
};

class Observer {
 public:
  virtual ~Observer() = default;

  // A row loop is about to handle a row. counter counts the loop's rows so
  // far; categories is the number of categories so far. Returning false
  // stops the work, which then throws Error with kind kCancelled.
  virtual bool onRow(RowLoop loop, int64_t counter, int categories) {
    (void)loop, (void)counter, (void)categories;
    return true;
  }

  // A learning pass begins (pass from 1) with the Beta it learns with, or
  // has ended.
  virtual void onPassStart(int pass, int categories, float beta) { (void)pass, (void)categories, (void)beta; }
  virtual void onPassEnd(int pass, int categories) { (void)pass, (void)categories; }
};

}  // namespace fuzzyart
