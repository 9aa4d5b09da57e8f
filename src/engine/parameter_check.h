// The checks of the networks' parameters and arguments, shared by Network
// and SupervisedNetwork, and the ranged ones apart for the command line's
// switch evaluation.
#pragma once

#include <cstddef>

#include "fuzzyart/network.h"

namespace fuzzyart {

// checkParameters without its last check, that Alpha is finite: the command
// line takes whatever number its switch -I reads, infinity included, shows it
// on the LEARN> line and goes on, as its users know it to.
void checkRangedParameters(const NetworkParameters& parameters);

// What no network can be built without: room for a category, and rows of a
// length the categories can hold.
void checkNetworkShape(int maxCategories, int inputLength);

// Rows (or a row, or a category's weights) of the network's length.
void checkRowLength(size_t length, int inputLength);

}  // namespace fuzzyart
