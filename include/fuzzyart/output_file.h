// A result file being written: a buffered stream that remembers whether any
// write, flush or close failed, so that no lost line can pass unnoticed.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

namespace fuzzyart {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates (or empties) the file for writing; false when it cannot be.
  bool create(const std::string& path);
  // Adopts a stream opened elsewhere (a memory stream, say); the file closes
  // it.
  void adopt(FILE* stream);
  bool isOpen() const { return stream_ != nullptr; }

  // Formatted write; false when the stream reports an error.
  bool print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool vprint(const char* format, va_list args);
  // "%d\n", the hot line of the category value file.
  bool printLine(long value);

  // Flushes the buffer to the file; false when any write so far failed.
  bool flush();
  // Closes the file; false when any write, the final flush or the close
  // failed. Closing a closed file succeeds.
  bool close();
  // Closes without caring about the outcome (the clean-up after a stop).
  void discard();

 private:
  FILE* stream_ = nullptr;
  std::unique_ptr<char[]> buffer_;
};

}  // namespace fuzzyart
