#include "base/large_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace fuzzyart {

namespace {
constexpr size_t kLargePage = size_t{2} << 20;
// Memory released by one buffer is kept for the next, up to this much: the
// phases of a run set up their blocks one after another, and memory touched
// once costs nothing the second time.
constexpr size_t kKeptBytes = size_t{16} << 20;

struct Region {
  void* memory;
  size_t capacity;
};

struct Pool {
  std::mutex mutex;
  std::vector<Region> regions;
  size_t bytes = 0;
};

Pool& pool() {
  static Pool* const instance = new Pool;  // never destroyed: buffers may outlive static destruction
  return *instance;
}

// A region of at least `capacity` bytes: the smallest kept one that fits, or
// new memory.
Region takeRegion(size_t capacity) {
  {
    Pool& p = pool();
    std::lock_guard<std::mutex> lock(p.mutex);
    auto best = p.regions.end();
    for (auto r = p.regions.begin(); r != p.regions.end(); ++r) {
      if (r->capacity >= capacity && (best == p.regions.end() || r->capacity < best->capacity)) best = r;
    }
    if (best != p.regions.end()) {
      const Region region = *best;
      p.regions.erase(best);
      p.bytes -= region.capacity;
      return region;
    }
  }
  void* memory = std::aligned_alloc(kLargePage, capacity);
  if (memory == nullptr) throw std::bad_alloc();
  // Only advice: where the system has no large page to lend, small pages
  // serve as before.
  madvise(memory, capacity, MADV_HUGEPAGE);
  return {memory, capacity};
}

void giveBack(Region region) {
  if (region.memory == nullptr) return;
  Pool& p = pool();
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    if (p.bytes + region.capacity <= kKeptBytes) {
      try {
        p.regions.push_back(region);
        p.bytes += region.capacity;
        return;
      } catch (const std::bad_alloc&) {
      }
    }
  }
  std::free(region.memory);
}
}  // namespace

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
  const Region region = takeRegion((bytes + kLargePage - 1) / kLargePage * kLargePage);
  if (size_ > 0) std::memcpy(region.memory, data_, size_);
  giveBack({data_, capacity_});
  data_ = static_cast<char*>(region.memory);
  size_ = bytes;
  capacity_ = region.capacity;
}

void LargeBuffer::release() {
  giveBack({data_, capacity_});
  data_ = nullptr;
  size_ = capacity_ = 0;
}

void adviseLargePages(void* memory, size_t bytes) {
  const auto begin = reinterpret_cast<uintptr_t>(memory);
  const uintptr_t first = (begin + kLargePage - 1) / kLargePage * kLargePage;
  const uintptr_t last = (begin + bytes) / kLargePage * kLargePage;
  if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace fuzzyart
