// The parameter checks apart, for the command line's switch evaluation.
#pragma once

#include "fuzzyart/network.h"

namespace fuzzyart {

// checkParameters without its last check, that Alpha is finite: the command
// line takes whatever number its switch -I reads, infinity included, shows it
// on the LEARN> line and goes on, as its users know it to.
void checkRangedParameters(const NetworkParameters& parameters);

}  // namespace fuzzyart
