// Streams whose bytes stay in memory: result files written by tests, and the
// console of an in-process run.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzzyart/output_file.h"
#include "run/console.h"

namespace fuzzyart::test {

// A FILE* over memory; text() holds what was written to it so far.
class MemoryStream {
 public:
  MemoryStream() : stream_(open_memstream(&data_, &size_)) {}
  ~MemoryStream() {
    if (stream_ != nullptr) std::fclose(stream_);
    std::free(data_);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  FILE* stream() const { return stream_; }
  // Another owner (an OutputFile) closes the stream from now on.
  FILE* handOver() {
    FILE* s = stream_;
    stream_ = nullptr;
    return s;
  }
  std::string text() {
    if (stream_ != nullptr) std::fflush(stream_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  FILE* stream_;
};

// A result file written into memory; its text is read once it is closed.
struct MemoryFile {
  MemoryFile() { file.adopt(memory.handOver()); }
  std::string text() {
    EXPECT_TRUE(file.close());
    return memory.text();
  }
  MemoryStream memory;
  OutputFile file;
};

// Holds what the program prints on its console streams for the lifetime of
// one object, then puts the streams back.
class ConsoleCapture {
 public:
  ConsoleCapture() : saved_(consoleStreams()) {
    consoleStreams().err = err_.stream();
    consoleStreams().out = out_.stream();
    consoleStreams().utf8 = false;  // the program's own bytes 0xE0 and 0xE1
  }
  ~ConsoleCapture() { consoleStreams() = saved_; }
  std::string err() { return err_.text(); }
  std::string out() { return out_.text(); }

 private:
  ConsoleStreams saved_;
  MemoryStream err_;
  MemoryStream out_;
};

}  // namespace fuzzyart::test
