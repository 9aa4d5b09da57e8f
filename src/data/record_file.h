// The temporary file of prepared rows: one record of inputLength little-endian
// 32-bit floats per data row, nothing before, between or after them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fuzzyart {

// Writes records through a large buffer: block writes, not one call per value.
class RecordWriter {
 public:
  RecordWriter() = default;
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  bool create(const std::string& path);
  bool isOpen() const { return fd_ >= 0; }
  // False when the record could not be written (or an earlier write failed).
  bool write(const float* record, size_t length);
  // Writes what is buffered and closes; false when anything failed.
  bool close();
  void discard();

 private:
  bool drain();

  int fd_ = -1;
  std::vector<char> buffer_;
  size_t used_ = 0;
  bool failed_ = false;
};

// Reads records back in large blocks; the memory held is the block, never the
// file. A trailing incomplete record is ignored.
class RecordReader {
 public:
  RecordReader() = default;
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  bool open(const std::string& path, size_t recordLength);
  // Serves records from memory (tests and benchmarks).
  void openMemory(std::vector<float> records, size_t recordLength);
  bool isOpen() const { return fd_ >= 0 || memoryMode_; }
  void close();

  size_t recordLength() const { return length_; }
  // Goes back to the first record.
  void rewind();
  // The next record, or nullptr at the end. Valid until the next call.
  const float* next();
  // Up to `wanted` consecutive records (at least one unless at the end); the
  // pointer stays valid until the next call. Returns the number delivered.
  size_t nextBlock(size_t wanted, const float*& records);

 private:
  bool refill();

  int fd_ = -1;
  bool memoryMode_ = false;
  size_t length_ = 0;
  std::vector<float> block_;
  size_t blockRecords_ = 0;  // complete records in block_
  size_t cursor_ = 0;        // next record in block_
  size_t carryBytes_ = 0;    // bytes of an incomplete record at the block's end
  bool eof_ = false;
};

}  // namespace fuzzyart
