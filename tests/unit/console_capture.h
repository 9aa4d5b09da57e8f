// Holds what the program prints on its console streams in memory for the
// lifetime of one object, then puts the streams back.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "run/console.h"

namespace fuzzyart::test {

class ConsoleCapture {
 public:
  ConsoleCapture() : saved_(consoleStreams()) {
    consoleStreams().err = err_.stream;
    consoleStreams().out = out_.stream;
    consoleStreams().utf8 = false;  // the program's own bytes 0xE0 and 0xE1
  }
  ~ConsoleCapture() { consoleStreams() = saved_; }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  std::string err() { return err_.text(); }
  std::string out() { return out_.text(); }

 private:
  struct Memory {
    Memory() : stream(open_memstream(&data, &size)) {}
    ~Memory() {
      std::fclose(stream);
      std::free(data);
    }
    std::string text() {
      std::fflush(stream);
      return std::string(data, size);
    }
    char* data = nullptr;
    size_t size = 0;
    FILE* stream;
  };
  ConsoleStreams saved_;
  Memory err_;
  Memory out_;
};

}  // namespace fuzzyart::test
