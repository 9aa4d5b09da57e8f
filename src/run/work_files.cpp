#include "run/work_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <fstream>
#include <sstream>

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

void nameResultFiles(WorkFiles& files, const RunSettings& settings) {
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
    if (!files.output(info.kind).createReplacing(name)) panic("Can't create file: %s\n\n", name.c_str());
    trackResultFiles(files);
  }
}

bool commitResultFiles(WorkFiles& files, const RunSettings& settings) {
  // Every result file is complete and on disk before any replaces its name,
  // so that a stop never leaves results that do not belong together.
  bool closed = true;
  for (OutputFile& output : files.outputs) closed = output.close() && closed;
  if (!closed) return false;
  for (ResultKind kind : commitOrder()) {
    if (!isWritten(kind, settings)) continue;
    if (!files.output(kind).commit()) return false;
    trackResultFiles(files);
  }
  return true;
}

namespace {

// An exclusive lock on the open file, or the stop when another run holds it.
int lockOrStop(int fd, const std::string& name) {
  const int lock = fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (lock < 0) panic("Can't find/open file: %s\n\n", name.c_str());
  // flock, not fcntl locks: those would vanish as soon as any descriptor of
  // the file were closed.
  if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
    close(lock);
    panic("File in use by another run: %s\n\n", name.c_str());
  }
  return lock;
}

int openWithoutFollowing(const std::string& name) {
  const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
  int fd = open(name.c_str(), flags, 0666);
  struct stat info {};
  if (fd < 0 && errno == ELOOP && lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    // Only a link is removed; a regular file keeps its name, and so its lock.
    if (unlink(name.c_str()) == 0) fd = open(name.c_str(), flags | O_EXCL, 0666);
  }
  return fd;
}

}  // namespace

void lockDataFile(WorkFiles& files) { files.dataLock = lockOrStop(files.dataStream.descriptor(), files.dataName); }

void createTemporaryFile(WorkFiles& files) {
  const std::string& name = files.name(ResultKind::kPrepared);
  const int fd = openWithoutFollowing(name);
  if (fd < 0) panic("Can't create file: %s\n\n", name.c_str());
  try {
    files.tempLock = lockOrStop(fd, name);
  } catch (...) {
    close(fd);
    throw;
  }
  if (ftruncate(fd, 0) != 0) {
    close(fd);
    panic("Can't create file: %s\n\n", name.c_str());
  }
  files.tempStream.adopt(fd, name);
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
    if (info.signalSlot >= 0) trackPendingFile(info.signalSlot, files.outputs[indexOf(info.kind)].pendingName());
  }
}

void releaseLocks(WorkFiles& files) {
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
}

}  // namespace fuzzyart
