// The reader of the model file (model_format.h), over lines from memory or
// from an open file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzzyart/model_file.h"
#include "fuzzyart/supervised_model_file.h"

namespace fuzzyart {

// The lines of a model file, each at most model_format::kMaxLineBytes long.
class ModelLines {
 public:
  // The lines of bytes the caller keeps alive.
  explicit ModelLines(std::string_view bytes);
  // The lines of the first `size` bytes of an open file (the caller's
  // descriptor, which stays open): a file that grows meanwhile is read no
  // further.
  ModelLines(int fd, uint64_t size);
  ModelLines(const ModelLines&) = delete;
  ModelLines& operator=(const ModelLines&) = delete;

  // The next line without its line feed (nor a carriage return before it);
  // the view stays valid until the next call. False at the end of the
  // bytes, or on a fault, which fault() then names.
  bool next(std::string_view& line);
  // The line last returned, or being read at a fault, counted from 1.
  int number() const { return number_; }
  const char* fault() const { return fault_; }
  // True when the bytes end in the middle of a line that next() returned.
  bool endedWithoutFeed() const { return noFeed_; }

 private:
  bool fill();

  const char* data_ = nullptr;  // the bytes held: the caller's, or buffer_'s
  size_t begin_ = 0;            // the first not yet returned
  size_t end_ = 0;
  std::string buffer_;  // for a file: the line being read and what follows it
  int fd_ = -1;
  uint64_t left_ = 0;  // bytes of the file still to read
  int number_ = 0;
  const char* fault_ = nullptr;
  bool noFeed_ = false;
};

// Reads a whole model; `name` is what messages call the file. Throws Error
// (kBadModelFile) with "Bad modelfile: NAME\nINFO: Line N: WHAT\n".
Model readModel(ModelLines& lines, const std::string& name);
SupervisedModel readSupervisedModel(ModelLines& lines, const std::string& name);

}  // namespace fuzzyart
