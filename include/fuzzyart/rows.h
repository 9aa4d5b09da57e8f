// Prepared rows as the network reads them: input vectors of a fixed length,
// in order, from wherever they are held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace fuzzyart {

// Rows of length() floats, read in order, from the start again after
// rewind().
class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual size_t length() const = 0;
  virtual void rewind() = 0;
  // Up to `wanted` consecutive rows (at least one unless at the end); the
  // pointer stays valid until the next call. Returns how many, 0 at the end.
  virtual size_t next(size_t wanted, const float*& rows) = 0;
  // True when the end came from a failed read, not from the end of the rows.
  virtual bool failed() const { return false; }
  // The name that messages about a failed read give.
  virtual std::string name() const { return {}; }
};

// Rows that can also be read in any order, as a shuffled pass reads them.
class RandomAccessRows : public RowSource {
 public:
  virtual size_t rows() const = 0;
  // Copies the rows of `indices` (each below rows()), in that order, to out,
  // length() floats each; false when a read failed, which failed() then
  // tells too.
  virtual bool gather(std::span<const uint64_t> indices, float* out) = 0;
};

// Rows held by the caller, row after row; nothing is copied. The memory must
// outlive the source. Throws Error (kInvalidParameter) for a length of 0 or
// values that are not a whole number of rows.
class MemoryRows final : public RandomAccessRows {
 public:
  MemoryRows(std::span<const float> values, size_t length);
  size_t length() const override { return length_; }
  size_t rows() const override { return values_.size() / length_; }
  void rewind() override { cursor_ = 0; }
  size_t next(size_t wanted, const float*& rows) override;
  bool gather(std::span<const uint64_t> indices, float* out) override;

 private:
  std::span<const float> values_;
  size_t length_;
  size_t cursor_ = 0;
};

}  // namespace fuzzyart
