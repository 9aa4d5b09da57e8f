// The one exception type of the library. Its text is the message the command
// line prints after "PANIC: ", line breaks included.
#pragma once

#include <stdexcept>
#include <string>

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

}  // namespace fuzzyart
