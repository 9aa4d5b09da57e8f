#include "base/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <fstream>

namespace fuzzyart {

namespace {

constexpr size_t kBufferBytes = 1 << 16;

// The process's umask, read without changing it (umask() would, for every
// thread at once).
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

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
  discard();
  struct stat old {};
  const bool exists = lstat(path.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) return false;
  const size_t slash = path.rfind('/');
  std::string temp = (slash == std::string::npos ? "" : path.substr(0, slash + 1)) + ".fuzzyart-XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const mode_t mode = exists && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : (0666 & ~currentUmask());
  FILE* stream = fchmod(fd, mode) == 0 ? fdopen(fd, "w") : nullptr;
  if (stream == nullptr) {
    ::close(fd);
    unlink(temp.c_str());
    return false;
  }
  finalPath_ = path;
  tempPath_ = temp;
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
  if (!tempPath_.empty()) ok = ok && fsync(fileno(stream_)) == 0;
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  buffer_.reset();
  return ok;
}

bool OutputFile::commit() {
  if (stream_ != nullptr || tempPath_.empty()) return false;
  const bool renamed = std::rename(tempPath_.c_str(), finalPath_.c_str()) == 0;
  if (!renamed) unlink(tempPath_.c_str());
  tempPath_.clear();
  return renamed;
}

void OutputFile::discard() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  buffer_.reset();
  if (!tempPath_.empty()) unlink(tempPath_.c_str());
  tempPath_.clear();
}

}  // namespace fuzzyart
