#include <algorithm>
#include <cstring>

#include "base/failure.h"
#include "fuzzyart/rows.h"

namespace fuzzyart {

MemoryRows::MemoryRows(std::span<const float> values, size_t length) : values_(values), length_(length) {
  // A partial row at the end would be dropped without a word, and a length
  // of 0 holds no row at all.
  if (length == 0 || values.size() % length != 0) {
    fail(ErrorKind::kInvalidParameter, "Rows of %zu values cannot hold %zu values.\n", length, values.size());
  }
}

size_t MemoryRows::next(size_t wanted, const float*& rows) {
  const size_t delivered = std::min(wanted, this->rows() - cursor_);
  rows = values_.data() + cursor_ * length_;
  cursor_ += delivered;
  return delivered;
}

bool MemoryRows::gather(std::span<const uint64_t> indices, float* out) {
  for (const uint64_t row : indices) {
    std::memcpy(out, values_.data() + row * length_, length_ * sizeof(float));
    out += length_;
  }
  return true;
}

}  // namespace fuzzyart
