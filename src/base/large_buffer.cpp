#include "fuzzyart/large_buffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace fuzzyart {

namespace {
constexpr size_t kLargePage = size_t{2} << 20;
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

void LargeBuffer::resize(size_t bytes) {
  if (bytes <= capacity_) {
    size_ = bytes;
    return;
  }
  const size_t capacity = (bytes + kLargePage - 1) / kLargePage * kLargePage;
  void* memory = std::aligned_alloc(kLargePage, capacity);
  if (memory == nullptr) throw std::bad_alloc();
  // Only advice: where the system has no large page to lend, small pages
  // serve as before.
  madvise(memory, capacity, MADV_HUGEPAGE);
  if (size_ > 0) std::memcpy(memory, data_, size_);
  std::free(data_);
  data_ = static_cast<char*>(memory);
  size_ = bytes;
  capacity_ = capacity;
}

void LargeBuffer::release() {
  std::free(data_);
  data_ = nullptr;
  size_ = capacity_ = 0;
}

}  // namespace fuzzyart
