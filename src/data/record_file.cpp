#include "data/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace fuzzyart {

// The records are written in the machine's own float layout, which the file
// format fixes as little-endian IEEE 754.
static_assert(std::endian::native == std::endian::little, "the record file holds little-endian floats");

namespace {

constexpr size_t kWriteBuffer = 1 << 20;
constexpr size_t kReadBlockBytes = 1 << 20;

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

RecordFileWriter::~RecordFileWriter() { discard(); }

bool RecordFileWriter::create(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  adopt(fd, path);
  return true;
}

void RecordFileWriter::adopt(int fd, const std::string& name) {
  discard();
  name_ = name;
  fd_ = fd;
  buffer_.resize(kWriteBuffer);
  used_ = 0;
  failed_ = false;
}

bool RecordFileWriter::drain() {
  if (used_ > 0 && !failed_) failed_ = !writeAll(fd_, buffer_.data(), used_);
  used_ = 0;
  return !failed_;
}

bool RecordFileWriter::write(const float* record, size_t length) {
  if (fd_ < 0 || failed_) return false;
  const char* bytes = reinterpret_cast<const char*>(record);
  size_t size = length * sizeof(float);
  if (used_ + size > buffer_.size() && !drain()) return false;
  if (size > buffer_.size()) {
    failed_ = !writeAll(fd_, bytes, size);
    return !failed_;
  }
  std::memcpy(buffer_.data() + used_, bytes, size);
  used_ += size;
  return true;
}

size_t RecordFileWriter::recordsBeforeWrite(size_t length) const {
  if (fd_ < 0 || failed_ || length == 0) return 0;
  return (buffer_.size() - used_) / (length * sizeof(float));
}

bool RecordFileWriter::close() {
  if (fd_ < 0) return true;
  bool ok = drain();
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  buffer_.release();
  return ok;
}

void RecordFileWriter::discard() {
  if (fd_ >= 0) {
    drain();
    ::close(fd_);
  }
  fd_ = -1;
}

RecordFileReader::~RecordFileReader() { close(); }

bool RecordFileReader::open(const std::string& path, size_t recordLength) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  adopt(fd, path, recordLength);
  return true;
}

void RecordFileReader::adopt(int fd, const std::string& name, size_t recordLength) {
  close();
  name_ = name;
  fd_ = fd;
  length_ = recordLength;
  size_t perBlock = std::max<size_t>(1, kReadBlockBytes / (sizeof(float) * std::max<size_t>(1, length_)));
  block_.resize(perBlock * std::max<size_t>(1, length_) * sizeof(float));
  rewind();
}

void RecordFileReader::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  block_.release();
  blockRecords_ = cursor_ = carryBytes_ = 0;
  recordsRead_ = 0;
  expected_ = -1;
  eof_ = false;
  failed_ = false;
}

void RecordFileReader::rewind() {
  cursor_ = 0;
  carryBytes_ = 0;
  blockRecords_ = 0;
  recordsRead_ = 0;
  failed_ = false;
  eof_ = fd_ < 0 || lseek(fd_, 0, SEEK_SET) != 0;
  if (fd_ >= 0 && eof_) failed_ = true;
}

// Reads the next block behind the carried bytes of an incomplete record.
bool RecordFileReader::refill() {
  if (eof_ || length_ == 0) return false;
  char* bytes = block_.data();
  const size_t recordBytes = length_ * sizeof(float);
  if (carryBytes_ > 0) std::memmove(bytes, bytes + blockRecords_ * recordBytes, carryBytes_);
  size_t filled = carryBytes_;
  const size_t capacity = block_.size();
  while (filled < capacity) {
    ssize_t n = ::read(fd_, bytes + filled, capacity - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A read error must not pass for the end of the rows.
      failed_ = n < 0;
      eof_ = true;
      break;
    }
    filled += static_cast<size_t>(n);
  }
  blockRecords_ = filled / recordBytes;
  carryBytes_ = filled % recordBytes;
  cursor_ = 0;
  if (expected_ >= 0) {
    // Records beyond those written, or an end before them or inside one,
    // mean the file changed since it was written.
    const int64_t left = expected_ - recordsRead_;
    if (static_cast<int64_t>(blockRecords_) > left) {
      blockRecords_ = static_cast<size_t>(left);
      failed_ = eof_ = true;
    } else if (eof_ && (static_cast<int64_t>(blockRecords_) != left || carryBytes_ != 0)) {
      failed_ = true;
    }
  }
  recordsRead_ += static_cast<int64_t>(blockRecords_);
  return blockRecords_ > 0;
}

size_t RecordFileReader::next(size_t wanted, const float*& rows) {
  if (cursor_ >= blockRecords_ && !refill()) return 0;
  const size_t delivered = std::min(wanted, blockRecords_ - cursor_);
  rows = reinterpret_cast<const float*>(block_.data()) + cursor_ * length_;
  cursor_ += delivered;
  return delivered;
}

size_t RecordFileReader::rows() const {
  if (expected_ >= 0) return static_cast<size_t>(expected_);
  struct stat info {};
  if (fd_ < 0 || length_ == 0 || fstat(fd_, &info) != 0) return 0;
  return static_cast<size_t>(info.st_size) / (length_ * sizeof(float));
}

bool RecordFileReader::gather(std::span<const uint64_t> indices, float* out) {
  const size_t recordBytes = length_ * sizeof(float);
  for (const uint64_t record : indices) {
    char* bytes = reinterpret_cast<char*>(out);
    size_t filled = 0;
    while (filled < recordBytes) {
      const ssize_t n = ::pread(fd_, bytes + filled, recordBytes - filled,
                                static_cast<off_t>(record * recordBytes + filled));
      if (n < 0 && errno == EINTR) continue;
      // An end inside the records written means the file changed under the run.
      if (n <= 0) {
        failed_ = true;
        return false;
      }
      filled += static_cast<size_t>(n);
    }
    out += length_;
  }
  return true;
}

}  // namespace fuzzyart
