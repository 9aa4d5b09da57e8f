#include "base/directory.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace fuzzyart {

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool Directory::openHolding(const std::string& path) {
  close();
  const size_t slash = path.rfind('/');
  const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  // O_PATH: a directory that may be searched but not listed still holds
  // the run's files.
  fd_ = open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return fd_ >= 0;
}

void Directory::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string nameInDirectory(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string hiddenName() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6] = {};
  if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    // No entropy yet (early boot): the names need only differ, not be secret.
    static unsigned counter = 0;
    const unsigned long seed = static_cast<unsigned long>(getpid()) * 2654435761UL + ++counter;
    for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(seed >> (i * 5));
  }
  std::string name = ".fuzzyart-";
  for (unsigned char b : bytes) name += kLetters[b % (sizeof kLetters - 1)];
  return name;
}

int createHiddenFile(int directory, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = hiddenName();
    const int fd = openat(directory, candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      name = std::move(candidate);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

mode_t defaultFileMode() {
  // The umask is read without changing it (umask() would, for every thread
  // at once).
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return 0666 & ~static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  const mode_t mask = umask(022);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace fuzzyart
