// The capacities of the file formats and of the command line.
#pragma once

namespace fuzzyart {

// Values in one prepared row (an input vector): 8192 variables, or 4096 with
// complement coding, which doubles each row.
inline constexpr int kMaxInputLength = 8192;

// The categories of one data file on the command line, and a network's
// default limit; a library caller may allow more.
inline constexpr int kDefaultMaxCategories = 1024;

// The release, as the banner, the .deb and the CMake package show it.
inline constexpr const char* kVersion = "1.11";

}  // namespace fuzzyart
