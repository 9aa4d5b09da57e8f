// Reads a text file line by line through one growing buffer, so lines of any
// length come back whole and the common line costs no allocation.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzyart {

class LineReader {
 public:
  LineReader() = default;
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Opens a file for reading; false when it cannot be opened.
  bool open(const std::string& path);
  // Reads lines from bytes held in memory (a stored copy of a file).
  void openMemory(std::shared_ptr<const std::string> bytes);
  bool isOpen() const { return fd_ >= 0 || memory_ != nullptr; }
  void close();
  // Goes back to the first line; false when the file cannot be repositioned.
  bool rewind();

  // The next line with its line feed when it has one. Returns false at the end
  // of the file or when a read fails (then failed() tells).
  bool nextLine(std::string_view& line);
  bool failed() const { return failed_; }

 private:
  bool fill();

  int fd_ = -1;
  std::shared_ptr<const std::string> memory_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
  bool failed_ = false;
};

}  // namespace fuzzyart
