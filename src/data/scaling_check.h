// The check of a Scaling handed in by a caller, who may have filled it by
// hand: the loops that use one index the raw row by its columns and the
// ranges by variable, and trust both.
#pragma once

#include "fuzzyart/data.h"

namespace fuzzyart {

// Throws Error (kInvalidParameter) unless the used columns are ascending,
// each once, within 0 to columnCount - 1, at least one; min and max hold one
// finite value per variable, min below max; and the input length is at most
// kMaxInputLength. Every scaling makeScaling makes passes.
void checkScaling(const Scaling& scaling);

}  // namespace fuzzyart
