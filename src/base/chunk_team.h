// The rows of a block worked on in chunks by the calling thread and helper
// threads, the caller taking the chunks' results in row order: while it
// takes one chunk's (writing them out, say), the helpers work on the chunks
// after it, and the caller works on one itself whenever the chunk it wants
// next is not done yet. Which thread did a chunk never shows in its results.
//
// Helpers live for the whole team and sleep between blocks. A chunk whose
// work throws is done again by the caller when it takes that chunk, so a
// failure comes out on the calling thread, in the chunk where working alone
// would have met it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace fuzzyart {

class ChunkTeam {
 public:
  // The work of rows first to last - 1 of the current block, by worker
  // `worker` (0 the caller, 1 and up the helpers): each worker's scratch may
  // be kept by its number.
  using Work = std::function<void(size_t first, size_t last, int worker)>;

  // threads: the most threads, the caller included (fewer when no more can
  // be started). Blocks hold at most maxRows rows, in chunks of chunkRows.
  ChunkTeam(int threads, size_t maxRows, size_t chunkRows, Work work);
  ~ChunkTeam();
  ChunkTeam(const ChunkTeam&) = delete;
  ChunkTeam& operator=(const ChunkTeam&) = delete;

  // Starts a block of `rows` rows (at most maxRows): whatever the work reads
  // must be in place before. The block before must have been taken whole.
  void start(size_t rows);
  size_t chunks() const { return chunks_; }
  size_t chunkRows() const { return chunkRows_; }
  // Waits until chunk c of the block is done, working on others meanwhile.
  void take(size_t c);

 private:
  // Claims chunks of the block `generation` (whose chunk count is `chunks`)
  // and works on them until one is claimed that is not there; returns the
  // generation and count that claim showed (a later block's, for a helper
  // that missed the start of one).
  void workOn(uint32_t& generation, size_t& chunks, int worker);
  void runChunk(uint32_t generation, size_t c, int worker);
  void helperLoop(int worker);

  size_t chunkRows_;
  Work work_;
  size_t rows_ = 0;
  size_t chunks_ = 0;
  uint32_t generation_ = 0;  // of the current block; written under mutex_
  // The current block's generation (high half) and its next unclaimed chunk.
  std::atomic<uint64_t> ticket_{0};
  // Per chunk: twice the generation in which it was done, plus 1 when its
  // work threw.
  std::unique_ptr<std::atomic<uint32_t>[]> done_;
  std::mutex mutex_;
  std::condition_variable started_;
  bool stop_ = false;
  std::vector<std::thread> helpers_;
};

}  // namespace fuzzyart
