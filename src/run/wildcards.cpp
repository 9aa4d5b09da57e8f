#include "run/wildcards.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>

#include "run/result_kinds.h"
#include "run/switches.h"

namespace fuzzyart {

namespace {

bool isPattern(const std::string& arg) {
  return !isSwitchArgument(arg) && !isCategoryArgument(arg) && arg.find_first_of("*?") != std::string::npos;
}

// Expands one pattern; returns false when no name of the directory matched.
bool expandPattern(const std::string& pattern, std::vector<std::string>& out) {
  size_t slash = pattern.rfind('/');
  std::string directory = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
  std::string namePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return false;
  bool matched = false;
  std::vector<std::string> kept;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (fnmatch(namePattern.c_str(), name.c_str(), 0) != 0) continue;
    matched = true;
    if (name[0] == '.') continue;
    struct stat info {};
    if (stat((directory + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    // A name found by expansion is always a data file: one that would read
    // as a switch or a category file gets "./" in front, as a shell needs it.
    kept.push_back((directory.empty() && (name[0] == '-' || name[0] == '+') ? "./" : directory) + name);
  }
  closedir(dir);
  std::sort(kept.begin(), kept.end());
  out.insert(out.end(), kept.begin(), kept.end());
  return matched;
}

}  // namespace

std::vector<std::string> expandWildcards(const std::vector<std::string>& args) {
  std::vector<std::string> expanded;
  for (const auto& arg : args) {
    if (!isPattern(arg) || !expandPattern(arg, expanded)) expanded.push_back(arg);
  }
  return expanded;
}

}  // namespace fuzzyart
