// A text file read line by line through one buffer of fixed size, so that
// memory stays bounded whatever the file holds and a line costs no
// allocation. A line comes back whole up to its line feed; a longer one than
// a line may be (kMaxLineLength characters) comes in pieces of one character
// more, without a line feed, which the row reader refuses. Data files and
// category/weight files are read through it. A UTF-8 byte-order mark before
// the first line is passed over.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/large_buffer.h"

namespace fuzzyart {

class TextFile {
 public:
  TextFile() = default;
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Opens a file for reading; false when it cannot be opened. Messages about
  // the file name it as given here.
  bool open(const std::string& path);
  // open() for a regular file only: anything else (a directory, a FIFO that
  // would block until a writer comes, a device) is refused without waiting.
  bool openRegular(const std::string& path);
  // Reads lines from bytes held in memory, under the given name.
  void openMemory(const std::string& name, std::shared_ptr<const std::string> bytes);
  bool isOpen() const { return fd_ >= 0 || memory_ != nullptr; }
  void close();
  // Goes back to the first line; false when the file cannot be repositioned.
  bool rewind();

  const std::string& name() const { return name_; }
  // The open descriptor, or -1 (in memory, or closed).
  int descriptor() const { return fd_; }

  // The next line with its line feed when it has one; the view stays valid
  // until the next call. False at the end of the file or when a read fails
  // (then failed() tells).
  bool nextLine(std::string_view& line);
  // The next lines as one view: the whole lines the buffer holds, as many as
  // fit in about `bytes` (at least one), or the last line of a file without
  // a line feed. The reads are those nextLine would make for the same
  // lines; the view stays valid until the next call.
  bool nextLines(std::string_view& lines, size_t bytes);
  bool failed() const { return failed_; }

 private:
  bool fill();

  std::string name_;
  int fd_ = -1;
  std::shared_ptr<const std::string> memory_;
  LargeBuffer buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
  bool failed_ = false;
  bool atStart_ = true;  // the first line is still to come
};

}  // namespace fuzzyart
