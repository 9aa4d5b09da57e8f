// Raising the library's Error with a message formatted as printf does.
#pragma once

#include "fuzzyart/error.h"

namespace fuzzyart {

[[noreturn]] void fail(ErrorKind kind, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The stop of a write to a result file that failed.
[[noreturn]] void failDiskFull();

}  // namespace fuzzyart

#include <cstdint>

#include "fuzzyart/observer.h"

namespace fuzzyart {

// Tells the observer that a row loop is at another row; stops with
// kCancelled when the observer asks to.
void reportRow(Observer* observer, RowLoop loop, int64_t counter, int categories);

}  // namespace fuzzyart
