// The one exception type of the library. Its text is the message the command
// line prints after "PANIC: ", line breaks included.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace fuzzyart {

enum class ErrorKind {
  kInvalidParameter,   // a parameter outside its range
  kFileAccess,         // a file that cannot be opened, created or read
  kWriteFailed,        // a write, flush or close that failed (a full disk)
  kBadData,            // a data row or data file that cannot be used
  kBadCategoryFile,    // a category/weight file that cannot be loaded
  kDivisionByZero,     // a choice or match quotient with a zero denominator
  kTooManyCategories,  // more categories needed than the network allows
  kNoCategory,         // a row that no category accepts where one must
  kOutOfMemory,
  kCancelled,          // the caller's observer asked to stop
  kBadModelFile,       // a model file that cannot be loaded, or a model that no model file can hold
};

class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  ErrorKind kind() const noexcept { return kind_; }

 private:
  ErrorKind kind_;
};

// Where a data file's bad row stands, as far as the file's text tells.
struct BadRowPlace {
  int64_t line = 0;           // the file's line, from 1, comment lines counted; 0 when not found
  int value = 0;              // the field that is no number, from 1; 0 for a row of another count
  std::string field;          // that field's first 40 bytes, as they are in the file
  int values = 0;             // a row of another count: its number of values
  int firstRowValues = 0;     // and the first data row's
  bool holdsLetters = false;  // the line holds a letter (a header line, as a rule)
};

// The stop for a bad data row (kBadData), with its place in the file.
class BadRowError : public Error {
 public:
  BadRowError(const std::string& message, BadRowPlace place)
      : Error(ErrorKind::kBadData, message), place_(std::move(place)) {}
  const BadRowPlace& place() const noexcept { return place_; }

 private:
  BadRowPlace place_;
};

}  // namespace fuzzyart
