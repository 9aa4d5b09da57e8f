// A result file being written: a buffered stream that remembers whether any
// write, flush or close failed, so that no lost line can pass unnoticed.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace fuzzyart {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates (or empties) the file for writing; false when it cannot be.
  bool create(const std::string& path);
  // A file that replaces `path` only once it is complete: the text goes to a
  // new hidden file beside it (".fuzzyart-" and six characters, created
  // exclusively), which commit() renames over `path`; until then whatever
  // is at `path` stays as it was. The new file takes the permission bits of
  // the regular file it replaces (a new name the default of the umask).
  // False when `path` is a directory or no file can be created beside it.
  bool createReplacing(const std::string& path);
  // Adopts a stream opened elsewhere (a memory stream, say); the file closes
  // it.
  void adopt(FILE* stream);
  bool isOpen() const { return stream_ != nullptr; }
  // The name a replacing file is written under until commit(), else empty.
  const std::string& pendingName() const { return tempPath_; }

  // Formatted write; false when the stream reports an error. Floating-point
  // conversions follow the process's LC_NUMERIC: numbers in files go through
  // base/number_text.h and write() instead.
  bool print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool vprint(const char* format, va_list args);
  // The text as it is; false when the stream reports an error.
  bool write(std::string_view text);
  // "%d\n", the hot line of the category value file.
  bool printLine(long value);

  // Flushes the buffer to the file; false when any write so far failed.
  bool flush();
  // Closes the file; false when any write, the final flush or the close
  // failed (a replacing file is synced to disk first). Closing a closed file
  // succeeds.
  bool close();
  // Renames a closed replacing file over its final name; false when that
  // fails, and the new file is removed.
  bool commit();
  // Closes without caring about the outcome (the clean-up after a stop); a
  // replacing file not yet committed is removed.
  void discard();

 private:
  bool open(FILE* stream);

  FILE* stream_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::string finalPath_;  // a replacing file's final name
  std::string tempPath_;   // and the name it is written under, until commit()
};

}  // namespace fuzzyart
