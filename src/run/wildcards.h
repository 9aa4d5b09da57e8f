// Expansion of "*" and "?" in data-file arguments (quoted past the shell).
#pragma once

#include <string>
#include <vector>

namespace fuzzyart {

// Each data-file argument (not a switch, not +CatFile) holding "*" or "?" is
// matched against the names of its directory (the final component only). The
// matching regular files, dot-files left out, replace it in bytewise order; a
// pattern that matches no name stays as written; a pattern whose matches are
// all left out is dropped.
std::vector<std::string> expandWildcards(const std::vector<std::string>& args);

}  // namespace fuzzyart
