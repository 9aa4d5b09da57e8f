// A directory held open by a descriptor, so that the files created, renamed
// and removed in it by name stay in it when the directory itself is renamed
// or moved meanwhile; and the hidden names that files are written under.
#pragma once

#include <sys/types.h>

#include <string>

namespace fuzzyart {

class Directory {
 public:
  Directory() = default;
  ~Directory() { close(); }
  Directory(Directory&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Directory& operator=(Directory&& other) noexcept;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  // Opens the directory that holds `path` (its part before the last "/", the
  // working directory when it has none); false when that is no directory
  // that can be opened. Only searching it is needed, not reading it.
  bool openHolding(const std::string& path);
  bool isOpen() const { return fd_ >= 0; }
  // The descriptor, valid while the Directory is open; -1 otherwise.
  int descriptor() const { return fd_; }
  void close();

 private:
  int fd_ = -1;
};

// The name of `path` within the directory that holds it.
std::string nameInDirectory(const std::string& path);

// A fresh name ".fuzzyart-" and six letters or digits, unlikely to be taken.
std::string hiddenName();

// Creates a new regular file under a fresh hidden name in the directory,
// exclusively (no other file or link can be there), with the mode bits 0600;
// returns its descriptor and sets `name`, or returns -1.
int createHiddenFile(int directory, std::string& name);

// The mode bits a new file gets by default: 0666 without the process's umask.
mode_t defaultFileMode();

}  // namespace fuzzyart
