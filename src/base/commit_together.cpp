#include "base/commit_together.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "base/directory.h"
#include "base/output_file.h"

namespace fuzzyart {

namespace {

struct Step {
  OutputFile* file = nullptr;
  bool hadOld = false;    // a file (or link) was at the final name
  std::string keptOld;    // the hidden name that holds it meanwhile, once it has one
  bool linked = false;    // kept as a second link (the final name still shows it)
  bool renamed = false;   // the new file has the final name
};

// A second, hidden name for the file at `name`. A hard link keeps the old
// file at its name until the new one replaces it in one rename; where no
// link can be made (a file system without them, an immutable file), the old
// file is moved aside just before its rename instead.
bool linkAside(int directory, const std::string& name, std::string& hidden) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = hiddenName();
    if (linkat(directory, name.c_str(), directory, candidate.c_str(), 0) == 0) {
      hidden = std::move(candidate);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool moveAside(int directory, const std::string& name, std::string& hidden) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = hiddenName();
    struct stat taken {};
    if (fstatat(directory, candidate.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) continue;
    if (renameat(directory, name.c_str(), directory, candidate.c_str()) != 0) return false;
    hidden = std::move(candidate);
    return true;
  }
  errno = EEXIST;
  return false;
}

// Puts every final name back as it was before the commit, the last renamed
// first, and lets go of the hidden names.
void rollBack(std::vector<Step>& steps) {
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    const int dir = step->file->directory();
    const char* name = step->file->finalName().c_str();
    if (step->renamed || !step->linked) {
      if (!step->keptOld.empty()) {
        renameat(dir, step->keptOld.c_str(), dir, name);
        step->keptOld.clear();
      } else if (step->renamed) {
        unlinkat(dir, name, 0);
      }
    }
    if (!step->keptOld.empty()) unlinkat(dir, step->keptOld.c_str(), 0);
  }
}

CommitFailure failure(const OutputFile& file) { return CommitFailure{errno != 0 ? errno : EIO, file.path()}; }

}  // namespace

CommitFailure commitTogether(std::span<OutputFile* const> files) {
  std::vector<Step> steps;
  steps.reserve(files.size());
  // Every final name first: nothing is renamed while one cannot take a file.
  for (OutputFile* file : files) {
    Step& step = steps.emplace_back();
    step.file = file;
    struct stat old {};
    if (fstatat(file->directory(), file->finalName().c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISDIR(old.st_mode)) {
        errno = EISDIR;
        const CommitFailure why = failure(*file);
        rollBack(steps);
        return why;
      }
      step.hadOld = true;
      step.linked = linkAside(file->directory(), file->finalName(), step.keptOld);
    } else if (errno != ENOENT) {
      const CommitFailure why = failure(*file);
      rollBack(steps);
      return why;
    }
  }
  for (Step& step : steps) {
    OutputFile& file = *step.file;
    if (step.hadOld && !step.linked && !moveAside(file.directory(), file.finalName(), step.keptOld)) {
      const CommitFailure why = failure(file);
      rollBack(steps);
      return why;
    }
    if (!file.commit()) {
      const CommitFailure why = failure(file);
      rollBack(steps);
      return why;
    }
    step.renamed = true;
  }
  for (Step& step : steps) {
    if (!step.keptOld.empty()) unlinkat(step.file->directory(), step.keptOld.c_str(), 0);
  }
  return {};
}

}  // namespace fuzzyart
