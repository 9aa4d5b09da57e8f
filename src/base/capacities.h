// Capacities shared by every floor.
#pragma once

#include <cstddef>

#include "fuzzyart/limits.h"

namespace fuzzyart {

// Room for the largest row plus the 0.0 the reader stores after its last
// value.
inline constexpr int kRowBufferSize = kMaxInputLength + 2;

// The most characters a line of a text file may hold before its line feed:
// room for the most values a row may have, each of 64 characters and a
// separator. A longer line, a comment too, is bad as soon as one character
// more has arrived, so that no text without line feeds is held whole.
inline constexpr size_t kMaxLineLength = size_t{kMaxInputLength} * 65;

}  // namespace fuzzyart
