// The binary file of prepared rows that the command line keeps: one record
// of little-endian 32-bit floats per data row, nothing before, between or
// after them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/large_buffer.h"
#include "fuzzyart/rows.h"

namespace fuzzyart {

// Writes records through a large buffer: block writes, not one call per value.
class RecordFileWriter {
 public:
  RecordFileWriter() = default;
  ~RecordFileWriter();
  RecordFileWriter(const RecordFileWriter&) = delete;
  RecordFileWriter& operator=(const RecordFileWriter&) = delete;

  // Creates (or empties) the file; false when it cannot be.
  bool create(const std::string& path);
  // Writes from the start of a descriptor opened (and emptied) elsewhere;
  // the writer closes it.
  void adopt(int fd, const std::string& name);
  bool isOpen() const { return fd_ >= 0; }
  const std::string& name() const { return name_; }
  // False when the record could not be written (or an earlier write failed).
  // Records written together are written as one after another would be.
  bool write(const float* record, size_t length);
  // How many records of `length` floats can be written before the buffered
  // ones go to the file (0 once a write has failed).
  size_t recordsBeforeWrite(size_t length) const;
  // Writes what is buffered and closes; false when anything failed. Closing a
  // writer that is not open succeeds.
  bool close();
  // Closes without caring about the outcome (after a stop).
  void discard();

 private:
  bool drain();

  std::string name_;
  int fd_ = -1;
  LargeBuffer buffer_;
  size_t used_ = 0;
  bool failed_ = false;
};

// Reads the records back in blocks of about a megabyte; the memory held is the
// block, never the file. A trailing incomplete record is ignored. A shuffled
// pass reads each record at its place in the file instead.
class RecordFileReader final : public RandomAccessRows {
 public:
  RecordFileReader() = default;
  ~RecordFileReader() override;
  RecordFileReader(const RecordFileReader&) = delete;
  RecordFileReader& operator=(const RecordFileReader&) = delete;

  bool open(const std::string& path, size_t recordLength);
  // Reads through a descriptor opened elsewhere; the reader closes it.
  void adopt(int fd, const std::string& name, size_t recordLength);
  bool isOpen() const { return fd_ >= 0; }
  void close();
  // Every pass must then read exactly this many records, each whole: fewer,
  // more, or a piece of one is a failed read (the file changed under it).
  void expectRecords(int64_t records) { expected_ = records; }

  size_t length() const override { return length_; }
  void rewind() override;
  size_t next(size_t wanted, const float*& rows) override;
  bool failed() const override { return failed_; }
  std::string name() const override { return name_; }
  // The records expected, or else those the file holds now.
  size_t rows() const override;
  bool gather(std::span<const uint64_t> indices, float* out) override;

 private:
  bool refill();

  std::string name_;
  int fd_ = -1;
  size_t length_ = 0;
  LargeBuffer block_;       // whole records, as floats
  size_t blockRecords_ = 0;  // complete records in block_
  size_t cursor_ = 0;        // next record in block_
  size_t carryBytes_ = 0;    // bytes of an incomplete record at the block's end
  int64_t recordsRead_ = 0;  // complete records read since the start
  int64_t expected_ = -1;    // records the file must hold, or -1
  bool eof_ = false;
  bool failed_ = false;
};

}  // namespace fuzzyart
