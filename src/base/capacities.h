// Capacities shared by every floor.
#pragma once

#include "fuzzyart/limits.h"

namespace fuzzyart {

// Room for the largest row plus the 0.0 the reader stores after its last
// value.
inline constexpr int kRowBufferSize = kMaxInputLength + 2;

}  // namespace fuzzyart
