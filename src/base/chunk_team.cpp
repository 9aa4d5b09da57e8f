#include "base/chunk_team.h"

#include <algorithm>
#include <system_error>

namespace fuzzyart {

ChunkTeam::ChunkTeam(int threads, size_t maxRows, size_t chunkRows, Work work)
    : chunkRows_(std::max<size_t>(1, chunkRows)),
      work_(std::move(work)),
      done_(std::make_unique<std::atomic<uint32_t>[]>((std::max<size_t>(1, maxRows) + chunkRows_ - 1) / chunkRows_)) {
  for (int worker = 1; worker < threads; ++worker) {
    try {
      helpers_.emplace_back([this, worker] { helperLoop(worker); });
    } catch (const std::system_error&) {
      break;  // no further thread to be had: the caller does their share
    }
  }
}

ChunkTeam::~ChunkTeam() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  started_.notify_all();
  for (auto& helper : helpers_) helper.join();
}

void ChunkTeam::start(size_t rows) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++generation_;
  rows_ = rows;
  chunks_ = (rows + chunkRows_ - 1) / chunkRows_;
  ticket_.store(uint64_t{generation_} << 32, std::memory_order_release);
  started_.notify_all();
}

void ChunkTeam::runChunk(uint32_t generation, size_t c, int worker) {
  const size_t first = c * chunkRows_;
  const size_t last = std::min(rows_, first + chunkRows_);
  uint32_t tag = 2 * generation;
  try {
    work_(first, last, worker);
  } catch (...) {
    tag |= 1;
  }
  done_[c].store(tag, std::memory_order_release);
  done_[c].notify_all();
}

void ChunkTeam::workOn(uint32_t& generation, size_t& chunks, int worker) {
  for (;;) {
    const uint64_t ticket = ticket_.fetch_add(1, std::memory_order_acq_rel);
    const auto claimed = static_cast<uint32_t>(ticket >> 32);
    const size_t c = static_cast<uint32_t>(ticket);
    if (claimed != generation) {
      // A claim in a block this helper has not seen start. While one of its
      // chunks is not done the caller stays in it; once it has moved on,
      // the claim holds nothing.
      std::lock_guard<std::mutex> lock(mutex_);
      if (generation_ != claimed) return;
      generation = claimed;
      chunks = chunks_;
    }
    if (c >= chunks) return;
    runChunk(claimed, c, worker);
  }
}

void ChunkTeam::helperLoop(int worker) {
  uint32_t seen = 0;
  size_t chunks = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      started_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation_;
      chunks = chunks_;
    }
    workOn(seen, chunks, worker);
  }
}

void ChunkTeam::take(size_t c) {
  const uint32_t done = 2 * generation_;
  for (;;) {
    const uint32_t state = done_[c].load(std::memory_order_acquire);
    if (state == done) return;
    if (state == done + 1) {
      // Its work threw (on a helper, or here ahead of its turn): done
      // again here and now, it throws where working alone would.
      work_(c * chunkRows_, std::min(rows_, (c + 1) * chunkRows_), 0);
      done_[c].store(done, std::memory_order_relaxed);
      return;
    }
    const size_t claimed = static_cast<uint32_t>(ticket_.fetch_add(1, std::memory_order_acq_rel));
    if (claimed < chunks_) {
      runChunk(generation_, claimed, 0);
    } else {
      done_[c].wait(state, std::memory_order_acquire);
    }
  }
}

}  // namespace fuzzyart
