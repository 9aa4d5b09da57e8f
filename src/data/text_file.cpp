#include "data/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/capacities.h"

namespace fuzzyart {

namespace {
// A line with its line feed, the most a line may take: a piece this long
// without one is too long.
constexpr size_t kLongestLine = kMaxLineLength + 1;
// The one buffer of a file, which holds a line of any length allowed with
// room behind it, so that it never grows.
constexpr size_t kBufferBytes = 1 << 20;
static_assert(kBufferBytes > kLongestLine);
}

TextFile::~TextFile() { close(); }

bool TextFile::open(const std::string& path) {
  close();
  name_ = path;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  if (buffer_.size() < kBufferBytes) buffer_.resize(kBufferBytes);
  return rewind();
}

bool TextFile::openRegular(const std::string& path) {
  close();
  name_ = path;
  // Opened without blocking, so that a FIFO is found out by its type
  // instead of waiting for a writer; a regular file reads the same either
  // way, and the flag is cleared for the reads all the same.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat info {};
  if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || fcntl(fd_, F_SETFL, O_RDONLY) != 0) {
    close();
    return false;
  }
  if (buffer_.size() < kBufferBytes) buffer_.resize(kBufferBytes);
  return rewind();
}

void TextFile::openMemory(const std::string& name, std::shared_ptr<const std::string> bytes) {
  close();
  name_ = name;
  memory_ = std::move(bytes);
  rewind();
}

void TextFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  memory_.reset();
  begin_ = end_ = 0;
  eof_ = false;
  failed_ = false;
}

bool TextFile::rewind() {
  begin_ = end_ = 0;
  atStart_ = true;
  failed_ = false;
  if (memory_ != nullptr) {
    end_ = memory_->size();
    eof_ = true;
    return true;
  }
  eof_ = false;
  return fd_ >= 0 && lseek(fd_, 0, SEEK_SET) == 0;
}

// Moves the unread rest to the front and reads more behind it. The rest is
// the start of one line, no longer than a line may be (nextLines hands out a
// longer one before it reads on), so the buffer always has room behind it.
bool TextFile::fill() {
  if (eof_ || fd_ < 0) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (n > 0) {
      end_ += static_cast<size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed_ = true;
    eof_ = true;
    return false;
  }
}

bool TextFile::nextLine(std::string_view& line) { return nextLines(line, 0); }

bool TextFile::nextLines(std::string_view& lines, size_t bytes) {
  if (atStart_) {
    // Editors put a UTF-8 byte-order mark before the first line; it is no
    // part of the text.
    atStart_ = false;
    while (end_ - begin_ < 3 && fill()) {
    }
    const char* first = (memory_ != nullptr ? memory_->data() : buffer_.data()) + begin_;
    if (end_ - begin_ >= 3 && std::memcmp(first, "\xEF\xBB\xBF", 3) == 0) begin_ += 3;
  }
  const char* base = memory_ != nullptr ? memory_->data() : buffer_.data();
  // Within the window every line is short enough; past it only the first
  // line is looked at, up to the most characters a line may hold.
  const size_t window = std::min(bytes, kLongestLine);
  size_t searchFrom = begin_;
  for (;;) {
    // The last line feed within the window, else the first one after.
    const size_t limit = std::min(end_, std::max(begin_ + window, searchFrom));
    const size_t cap = std::min(end_, begin_ + kLongestLine);
    const void* feed = memrchr(base + searchFrom, '\n', limit - searchFrom);
    if (feed == nullptr && cap > limit) feed = std::memchr(base + limit, '\n', cap - limit);
    if (feed != nullptr) {
      size_t stop = static_cast<size_t>(static_cast<const char*>(feed) - base) + 1;
      lines = std::string_view(base + begin_, stop - begin_);
      begin_ = stop;
      return true;
    }
    if (cap == begin_ + kLongestLine) {
      // Too long for a line: this much of it goes out alone, without a line
      // feed, for the reader to refuse; the rest follows as more pieces.
      lines = std::string_view(base + begin_, kLongestLine);
      begin_ = cap;
      return true;
    }
    size_t scanned = end_ - begin_;
    bool more = fill();
    // fill() may have moved the buffer even when nothing more was read.
    base = memory_ != nullptr ? memory_->data() : buffer_.data();
    if (!more) break;
    searchFrom = begin_ + scanned;
  }
  if (failed_ || begin_ == end_) return false;
  // The last line of a file without a line feed.
  lines = std::string_view(base + begin_, end_ - begin_);
  begin_ = end_;
  return true;
}

}  // namespace fuzzyart
