#include "base/failure.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace fuzzyart {

void fail(ErrorKind kind, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string message(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) std::vsnprintf(message.data(), message.size() + 1, format, again);
  va_end(again);
  throw Error(kind, message);
}

void failDiskFull() { fail(ErrorKind::kWriteFailed, "Can't write to disk. Disk full?\n"); }

}  // namespace fuzzyart

namespace fuzzyart {

void reportRow(Observer* observer, RowLoop loop, int64_t counter, int categories) {
  if (observer != nullptr && !observer->onRow(loop, counter, categories)) {
    throw Error(ErrorKind::kCancelled, "Program cancelled.\n");
  }
}

}  // namespace fuzzyart
