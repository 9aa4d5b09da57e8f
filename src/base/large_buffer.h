// Memory of a quarter megabyte and more (the files' read and write blocks,
// kept values, a block's records and decisions), held in 2 MiB pages where
// the system lends them.
// On the virtual machines the program mostly runs on, the first touch of
// every 4 KiB page traps to the host, about 12 microseconds each: a fresh
// megabyte costs 3 ms in small pages and a tenth of that in one large page,
// and a short run would pay it for every block it sets up. So the memory a
// buffer releases is kept (up to 16 MiB in all) for the next buffer to take.
#pragma once

#include <cstddef>

namespace fuzzyart {

class LargeBuffer {
 public:
  LargeBuffer() = default;
  explicit LargeBuffer(size_t bytes) { resize(bytes); }
  ~LargeBuffer() { release(); }
  LargeBuffer(LargeBuffer&& other) noexcept;
  LargeBuffer& operator=(LargeBuffer&& other) noexcept;
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  // Room for `bytes`, the bytes held so far kept (as far as they fit); the
  // bytes beyond them are not set. Throws std::bad_alloc.
  void resize(size_t bytes);
  void release();

  char* data() { return data_; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;      // asked for
  size_t capacity_ = 0;  // allocated: whole large pages
};

// Asks for 2 MiB pages for the whole large pages within memory that is not
// touched yet (a vector's reserved room, say); only advice.
void adviseLargePages(void* memory, size_t bytes);

}  // namespace fuzzyart
