#include "run/work_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/commit_together.h"
#include "run/console.h"
#include "run/signals.h"

namespace fuzzyart {

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

namespace {

void keepCategoryFileIfCreated(WorkFiles& files, const RunSettings& settings, const std::string& nameToCreate) {
  if (!settings.recall || files.categoryCopy != nullptr) return;
  if (!sameFile(nameToCreate, settings.categoryFile)) return;
  std::ifstream in(settings.categoryFile, std::ios::binary);
  if (!in) return;  // opening it later fails with its own message
  std::ostringstream bytes;
  bytes << in.rdbuf();
  files.categoryCopy = std::make_shared<const std::string>(bytes.str());
  // A stream already open on the file would read the emptied file from now on.
  if (files.categoryStream.isOpen()) files.categoryStream.openMemory(settings.categoryFile, files.categoryCopy);
}

}  // namespace

void beforeCreating(WorkFiles& files, const RunSettings& settings, const std::string& nameToCreate) {
  keepCategoryFileIfCreated(files, settings, nameToCreate);
}

namespace {

// The directory a kind's file goes into, opened on first use; nullptr when
// it cannot be opened.
const Directory* directoryFor(WorkFiles& files, ResultKind kind) {
  std::shared_ptr<const Directory>& held = files.directories[indexOf(kind)];
  if (held != nullptr) return held.get();
  const std::string& name = files.name(kind);
  const std::string parent = name.substr(0, name.size() - nameInDirectory(name).size());
  for (const ResultKindInfo& info : resultKinds()) {
    const std::string& other = files.name(info.kind);
    const auto& otherHeld = files.directories[indexOf(info.kind)];
    if (otherHeld != nullptr && other.substr(0, other.size() - nameInDirectory(other).size()) == parent) {
      return (held = otherHeld).get();
    }
  }
  auto directory = std::make_shared<Directory>();
  if (!directory->openHolding(name)) return nullptr;
  return (held = std::move(directory)).get();
}

}  // namespace

void nameResultFiles(WorkFiles& files, const RunSettings& settings) {
  files.directories = {};
  for (const ResultKindInfo& info : resultKinds()) {
    files.names[indexOf(info.kind)] = isWritten(info.kind, settings) ? resultName(info.kind, files.dataName, settings)
                                                                     : std::string();
  }
}

void createResultFiles(WorkFiles& files, const RunSettings& settings, Created step) {
  for (const ResultKindInfo& info : resultKinds()) {
    if (info.created != step || info.writing != Writing::kCommitted || !isWritten(info.kind, settings)) continue;
    const std::string& name = files.name(info.kind);
    beforeCreating(files, settings, name);
    const Directory* directory = directoryFor(files, info.kind);
    if (directory == nullptr || !files.output(info.kind).createReplacing(*directory, name)) {
      panic("Can't create file: %s\n\n", name.c_str());
    }
    trackResultFiles(files);
  }
}

void refuseTemporaryFileOverInputs(const WorkFiles& files, const RunSettings& settings) {
  const std::string& temp = files.name(ResultKind::kPrepared);
  // A link at the temporary file's name is replaced, not written through:
  // only the name itself can be an input, or another name of its file.
  struct stat atName {};
  const bool exists = lstat(temp.c_str(), &atName) == 0;
  const auto isInput = [&](const std::string& input) {
    struct stat info {};
    return temp == input || (exists && stat(input.c_str(), &info) == 0 && info.st_dev == atName.st_dev &&
                             info.st_ino == atName.st_ino);
  };
  const auto refuse = [&](const char* what, const std::string& name) {
    panic("Can't create file: %s\nINFO: It is the %s: %s\n", temp.c_str(), what, name.c_str());
  };
  if (isInput(files.dataName)) refuse("datafile", files.dataName);
  if (settings.recall && isInput(settings.categoryFile)) refuse("categoryfile", settings.categoryFile);
  if (!settings.modelFile.empty() && isInput(settings.modelFile)) refuse("modelfile", settings.modelFile);
}

void commitResultFiles(WorkFiles& files, const RunSettings& settings) {
  // Every result file is complete and on disk before any replaces its name,
  // so that a stop never leaves results that do not belong together.
  bool closed = true;
  for (OutputFile& output : files.outputs) closed = output.close() && closed;
  if (!closed) panicDiskFull();
  std::vector<OutputFile*> committed;
  for (ResultKind kind : commitOrder()) {
    if (isWritten(kind, settings)) committed.push_back(&files.output(kind));
  }
  CommitFailure failure;
  {
    const SignalHold hold;
    failure = commitTogether(committed);
    trackResultFiles(files);
  }
  if (failure) {
    panic("Can't write to disk. Disk full?\nINFO: %s: %s\n", std::strerror(failure.error), failure.path.c_str());
  }
}

namespace {

// A lock on the descriptor, or the stop when another run holds one.
void lockOrStop(int fd, const std::string& name) {
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    panic("File in use by another run: %s\n\n", name.c_str());
  }
}

struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

void lockDataFile(WorkFiles& files) {
  const int lock = files.dataStream.descriptor() < 0 ? -1 : fcntl(files.dataStream.descriptor(), F_DUPFD_CLOEXEC, 3);
  if (lock < 0) panic("Can't find/open file: %s\n\n", files.dataName.c_str());
  lockOrStop(lock, files.dataName);
  files.dataLock = lock;
}

void createTemporaryFile(WorkFiles& files) {
  const std::string& path = files.name(ResultKind::kPrepared);
  const auto cannot = [&](const char* why) {
    if (why == nullptr) panic("Can't create file: %s\n\n", path.c_str());
    panic("Can't create file: %s\nINFO: %s\n", path.c_str(), why);
  };
  const Directory* directory = directoryFor(files, ResultKind::kPrepared);
  if (directory == nullptr) cannot(nullptr);
  const int dir = directory->descriptor();
  const std::string name = nameInDirectory(path);
  int fd = -1;
  // A link at the name is removed, and the name looked at again.
  for (int attempt = 0; fd < 0 && attempt < 10; ++attempt) {
    fd = openat(dir, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      files.tempMode = static_cast<int>(defaultFileMode());
      lockOrStop(fd, path);
      break;
    }
    if (errno != EEXIST) cannot(nullptr);
    // Without blocking: a named pipe at the name has no writer.
    Descriptor old{openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (old.fd < 0 && errno == ELOOP) {
      unlinkat(dir, name.c_str(), 0);
      continue;
    }
    if (old.fd < 0 && errno == ENOENT) continue;
    struct stat info {};
    if (old.fd < 0 || fstat(old.fd, &info) != 0 || !S_ISREG(info.st_mode)) cannot(nullptr);
    // Whoever else owns or may write the file could read the prepared rows
    // or change them while the run learns from them.
    if (info.st_uid != geteuid()) cannot("It belongs to another user");
    if ((info.st_mode & S_IWOTH) != 0) cannot("Every user may write to it");
    if (flock(old.fd, LOCK_EX | LOCK_NB) != 0) panic("File in use by another run: %s\n\n", path.c_str());
    // A new file takes the name, so that no descriptor opened on the old one
    // earlier (a group's member's, say) reaches the rows; the old file stays
    // locked until then, so no other run starts on it meanwhile.
    std::string hidden;
    fd = createHiddenFile(dir, hidden);
    if (fd < 0) cannot(nullptr);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || renameat(dir, hidden.c_str(), dir, name.c_str()) != 0) {
      close(fd);
      unlinkat(dir, hidden.c_str(), 0);
      cannot(nullptr);
    }
    files.tempMode = static_cast<int>(info.st_mode & 0777);
  }
  if (fd < 0) cannot(nullptr);
  files.tempLock = fd;
  const int writer = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (writer < 0) cannot(nullptr);
  files.tempStream.adopt(writer, path);
}

bool reopenTemporaryFile(WorkFiles& files, size_t recordLength, int64_t records) {
  const int fd = fcntl(files.tempLock, F_DUPFD_CLOEXEC, 3);
  if (fd < 0) return false;
  files.preparedRows.adopt(fd, files.name(ResultKind::kPrepared), recordLength);
  files.preparedRows.expectRecords(records);
  return true;
}

void trackResultFiles(const WorkFiles& files) {
  for (const ResultKindInfo& info : resultKinds()) {
    const OutputFile& output = files.outputs[indexOf(info.kind)];
    if (info.signalSlot >= 0) trackPendingFile(info.signalSlot, output.directory(), output.pendingName());
  }
}

void releaseLocks(WorkFiles& files) {
  if (files.tempLock >= 0 && files.tempMode >= 0) fchmod(files.tempLock, static_cast<mode_t>(files.tempMode));
  files.tempMode = -1;
  for (int* lock : {&files.dataLock, &files.tempLock}) {
    if (*lock >= 0) close(*lock);
    *lock = -1;
  }
}

bool openCategoryStream(WorkFiles& files, const RunSettings& settings) {
  if (files.categoryCopy != nullptr) {
    files.categoryStream.openMemory(settings.categoryFile, files.categoryCopy);
    return true;
  }
  struct stat info {};
  if (stat(settings.categoryFile.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return files.categoryStream.open(settings.categoryFile);
}

void closeAllStreams(WorkFiles& files) {
  releaseLocks(files);
  files.dataStream.close();
  files.preparedRows.close();
  files.tempStream.discard();
  for (OutputFile& output : files.outputs) output.discard();
  files.categoryStream.close();
  trackResultFiles(files);
  files.directories = {};
}

}  // namespace fuzzyart
