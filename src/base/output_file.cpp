#include "base/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "base/directory.h"

namespace fuzzyart {

namespace {

constexpr size_t kBufferBytes = 1 << 16;

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(FILE* stream) {
  stream_ = stream;
  if (stream_ == nullptr) return false;
  buffer_ = std::make_unique<char[]>(kBufferBytes);
  std::setvbuf(stream_, buffer_.get(), _IOFBF, kBufferBytes);
  return true;
}

bool OutputFile::create(const std::string& path) {
  discard();
  return open(std::fopen(path.c_str(), "w"));
}

bool OutputFile::createReplacing(const std::string& path) {
  Directory directory;
  return directory.openHolding(path) && createReplacing(directory, path);
}

bool OutputFile::createReplacing(const Directory& directory, const std::string& path) {
  discard();
  const std::string name = nameInDirectory(path);
  struct stat old {};
  const bool exists = fstatat(directory.descriptor(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && S_ISDIR(old.st_mode)) return false;
  directory_ = fcntl(directory.descriptor(), F_DUPFD_CLOEXEC, 3);
  std::string temp;
  const int fd = directory_ < 0 ? -1 : createHiddenFile(directory_, temp);
  const mode_t mode = exists && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : defaultFileMode();
  FILE* stream = fd >= 0 && fchmod(fd, mode) == 0 ? fdopen(fd, "w") : nullptr;
  if (stream == nullptr) {
    if (fd >= 0) {
      ::close(fd);
      unlinkat(directory_, temp.c_str(), 0);
    }
    discard();
    return false;
  }
  path_ = path;
  finalName_ = name;
  tempName_ = temp;
  return open(stream);
}

void OutputFile::adopt(FILE* stream) {
  discard();
  stream_ = stream;
}

bool OutputFile::print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  bool ok = vprint(format, args);
  va_end(args);
  return ok;
}

bool OutputFile::vprint(const char* format, va_list args) {
  if (stream_ == nullptr) return false;
  return std::vfprintf(stream_, format, args) >= 0 && !std::ferror(stream_);
}

bool OutputFile::write(std::string_view text) {
  if (stream_ == nullptr) return false;
  return std::fwrite(text.data(), 1, text.size(), stream_) == text.size() && !std::ferror(stream_);
}

bool OutputFile::printLine(long value) {
  if (stream_ == nullptr) return false;
  char text[24];
  auto end = std::to_chars(text, text + sizeof text - 1, value).ptr;
  *end++ = '\n';
  size_t length = static_cast<size_t>(end - text);
  // One thread writes a file: the stream's lock is not needed per line.
  return fwrite_unlocked(text, 1, length, stream_) == length;
}

bool OutputFile::flush() {
  if (stream_ == nullptr) return false;
  return std::fflush(stream_) == 0 && !std::ferror(stream_);
}

bool OutputFile::close() {
  if (stream_ == nullptr) return true;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  if (!tempName_.empty()) ok = ok && fsync(fileno(stream_)) == 0;
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  buffer_.reset();
  return ok;
}

bool OutputFile::commit() {
  if (stream_ != nullptr || tempName_.empty()) return false;
  const bool renamed = renameat(directory_, tempName_.c_str(), directory_, finalName_.c_str()) == 0;
  if (!renamed) {
    const int reason = errno;
    unlinkat(directory_, tempName_.c_str(), 0);
    errno = reason;
  }
  tempName_.clear();
  return renamed;
}

void OutputFile::discard() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  buffer_.reset();
  if (!tempName_.empty()) unlinkat(directory_, tempName_.c_str(), 0);
  tempName_.clear();
  if (directory_ >= 0) ::close(directory_);
  directory_ = -1;
}

}  // namespace fuzzyart
