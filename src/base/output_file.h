// A result file being written: a buffered stream that remembers whether any
// write, flush or close failed, so that no lost line can pass unnoticed.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace fuzzyart {

class Directory;

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
  // the regular file it replaces (a new name, or one held by a link or
  // another kind of file, the default of the umask). False when `path` is a
  // directory or no file can be created beside it.
  bool createReplacing(const std::string& path);
  // The same in a directory held open: the file is created, renamed and
  // removed relative to it, wherever the directory is moved meanwhile.
  // `path` is the file's name as shown (its final component is its name in
  // the directory). The file keeps its own descriptor of the directory
  // until it is discarded.
  bool createReplacing(const Directory& directory, const std::string& path);
  // Adopts a stream opened elsewhere (a memory stream, say); the file closes
  // it.
  void adopt(FILE* stream);
  bool isOpen() const { return stream_ != nullptr; }
  // A replacing file's directory (-1 for another file), its name there, the
  // name it is written under there until commit() (else empty), and its
  // name as shown.
  int directory() const { return directory_; }
  const std::string& finalName() const { return finalName_; }
  const std::string& pendingName() const { return tempName_; }
  const std::string& path() const { return path_; }

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
  // fails (errno tells why), and the new file is removed.
  bool commit();
  // Closes without caring about the outcome (the clean-up after a stop); a
  // replacing file not yet committed is removed, and the directory let go.
  void discard();

 private:
  bool open(FILE* stream);

  FILE* stream_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  int directory_ = -1;     // a replacing file's own descriptor of its directory
  std::string path_;       // its final name as shown
  std::string finalName_;  // and in the directory
  std::string tempName_;   // the name it is written under there, until commit()
};

}  // namespace fuzzyart
