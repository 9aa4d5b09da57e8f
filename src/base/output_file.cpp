#include "fuzzyart/output_file.h"

#include <charconv>

namespace fuzzyart {

namespace {
constexpr size_t kBufferBytes = 1 << 16;
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::create(const std::string& path) {
  discard();
  stream_ = std::fopen(path.c_str(), "w");
  if (stream_ == nullptr) return false;
  buffer_ = std::make_unique<char[]>(kBufferBytes);
  std::setvbuf(stream_, buffer_.get(), _IOFBF, kBufferBytes);
  return true;
}

void OutputFile::adopt(FILE* stream) {
  discard();
  stream_ = stream;
}

bool OutputFile::print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  bool ok = vprint(format, args);
  va_end(args);
  return ok;
}

bool OutputFile::vprint(const char* format, va_list args) {
  if (stream_ == nullptr) return false;
  return std::vfprintf(stream_, format, args) >= 0 && !std::ferror(stream_);
}

bool OutputFile::printLine(long value) {
  if (stream_ == nullptr) return false;
  char text[24];
  auto end = std::to_chars(text, text + sizeof text - 1, value).ptr;
  *end++ = '\n';
  size_t length = static_cast<size_t>(end - text);
  return std::fwrite(text, 1, length, stream_) == length;
}

bool OutputFile::flush() {
  if (stream_ == nullptr) return false;
  return std::fflush(stream_) == 0 && !std::ferror(stream_);
}

bool OutputFile::close() {
  if (stream_ == nullptr) return true;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  buffer_.reset();
  return ok;
}

void OutputFile::discard() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  buffer_.reset();
}

}  // namespace fuzzyart
