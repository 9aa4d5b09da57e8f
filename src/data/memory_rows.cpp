#include <algorithm>

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

}  // namespace fuzzyart
