#include "engine/search_team.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <system_error>

#include "engine/choice_kernel.h"

namespace fuzzyart {

namespace {

constexpr int kMaxChunks = 16;
// Pauses a helper spins for the next row before it sleeps (some tens of
// microseconds), and that the caller spins for a chunk still being computed
// before it yields its core.
constexpr int kHelperSpins = 2000;
constexpr int kSpinsPerYield = 100;
constexpr int kCallerSpins = 4000;

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Sleeping until a word changes, and waking its sleepers, straight on the
// futex (the library's atomic wait was seen to miss a wake-up).
void futexWait(std::atomic<uint32_t>& word, uint32_t expected) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
}

void futexWakeAll(std::atomic<uint32_t>& word) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT32_MAX, nullptr, nullptr, 0);
}

// A claim word: the row's generation, its number of chunks and the next
// chunk to be claimed, changed only as a whole.
constexpr uint64_t claimWord(uint32_t generation, uint32_t chunks, uint32_t next) {
  return uint64_t{generation} << 32 | uint64_t{chunks} << 16 | next;
}

struct alignas(64) ChunkResult {
  Candidate best;
};

}  // namespace

struct SearchTeam::Shared {
  alignas(64) std::atomic<uint32_t> generation{0};
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) && std::atomic<uint32_t>::is_always_lock_free);
  std::atomic<bool> sleeping{false};
  std::atomic<bool> stop{false};
  alignas(64) std::atomic<uint64_t> claim{0};
  alignas(64) std::atomic<int> finished{0};
  // The row: written by the caller before it publishes the claim word, read
  // by whoever claims a chunk of it.
  alignas(64) const CategoryTable* table = nullptr;
  const float* input = nullptr;
  float threshold = 0.0f;
  SearchKernelFn kernel = nullptr;
  // A batch's numerators instead, when batchKernel is set.
  BatchKernelFn batchKernel = nullptr;
  const float* const* batchInputs = nullptr;
  int batchRows = 0;
  float* const* batchOut = nullptr;
  int bounds[kMaxChunks + 1] = {};
  ChunkResult results[kMaxChunks];

  // Claims and computes chunks of the row of `generation` until none is left.
  void work(uint32_t rowGeneration) {
    uint64_t word = claim.load(std::memory_order_acquire);
    for (;;) {
      const auto chunks = static_cast<uint32_t>(word >> 16 & 0xffff);
      const auto next = static_cast<uint32_t>(word & 0xffff);
      if (static_cast<uint32_t>(word >> 32) != rowGeneration || next >= chunks) return;
      if (!claim.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel, std::memory_order_acquire)) continue;
      if (batchKernel != nullptr) {
        batchKernel(*table, bounds[next], bounds[next + 1], batchInputs, batchRows, batchOut);
      } else {
        results[next].best = kernel(*table, bounds[next], bounds[next + 1], input, threshold);
      }
      finished.fetch_add(1, std::memory_order_release);
      word = claim.load(std::memory_order_acquire);
    }
  }

  // seen: the generation before the helper was started; a helper that
  // starts late still sees every row and the stop posted after it.
  void helperLoop(uint32_t seen) {
    for (;;) {
      uint32_t now;
      int spins = 0;
      while ((now = generation.load(std::memory_order_acquire)) == seen) {
        if (++spins < kHelperSpins) {
          // Now and then the core goes to whoever else waits for it: the
          // caller itself, when both share one core.
          if (spins % kSpinsPerYield == 0) {
            std::this_thread::yield();
          } else {
            relax();
          }
          continue;
        }
        // Announce the sleep before the last look, so that the caller either
        // sees it and wakes the helpers or this look sees the new row. The
        // caller takes the announcement back, so one wake-up serves a sleep.
        sleeping.store(true, std::memory_order_seq_cst);
        if (generation.load(std::memory_order_seq_cst) == seen) futexWait(generation, seen);
        spins = 0;
      }
      seen = now;
      if (stop.load(std::memory_order_acquire)) return;
      work(now);
    }
  }
};

SearchTeam::SearchTeam(int threads, bool measure)
    : threads_(std::clamp(threads, 1, kMaxChunks)), pace_(measure), shared_(std::make_unique<Shared>()) {}

namespace {
int64_t nanosecondsNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

bool SearchTeam::Pace::begin(int64_t work) {
  if (!measure_) return true;
  if (inWindow_ == 0) {
    if (windows_ < 2) {
      shared_ = windows_ == 0;
    } else {
      const bool faster = timed_[1] && (!timed_[0] || perOp_[1] < perOp_[0]);
      shared_ = windows_ % 16 == 0 ? !faster : faster;
    }
  } else {
    if (inWindow_ == 1) start_ = nanosecondsNow();
    work_ += work;
  }
  return shared_;
}

void SearchTeam::Pace::end() {
  if (!measure_ || ++inWindow_ < kWindow) return;
  const double perOp = static_cast<double>(nanosecondsNow() - start_) / static_cast<double>(std::max<int64_t>(1, work_));
  const int way = shared_ ? 1 : 0;
  perOp_[way] = timed_[way] ? 0.5 * (perOp_[way] + perOp) : perOp;
  timed_[way] = true;
  inWindow_ = 0;
  work_ = 0;
  ++windows_;
}

SearchTeam::~SearchTeam() {
  if (helpers_.empty()) return;
  shared_->stop.store(true, std::memory_order_release);
  shared_->generation.fetch_add(1, std::memory_order_seq_cst);
  futexWakeAll(shared_->generation);
  for (auto& helper : helpers_) helper.join();
}

void SearchTeam::startHelpers() {
  started_ = true;
  const uint32_t seen = shared_->generation.load(std::memory_order_relaxed);
  for (int k = 1; k < threads_; ++k) {
    try {
      helpers_.emplace_back([shared = shared_.get(), seen] { shared->helperLoop(seen); });
    } catch (const std::system_error&) {
      break;  // no further thread to be had: the row goes on with fewer
    }
  }
}

int SearchTeam::chunksFor(const CategoryTable& table, int64_t work) {
  int chunks = static_cast<int>(std::min<int64_t>({threads_, work / kWorkPerChunk, table.tileCount()}));
  if (chunks >= 2 && !started_) startHelpers();
  return std::min(chunks, static_cast<int>(helpers_.size()) + 1);
}

void SearchTeam::runShared(int tiles, int chunks) {
  Shared& s = *shared_;
  for (int k = 0; k <= chunks; ++k) s.bounds[k] = static_cast<int>(int64_t{tiles} * k / chunks);
  s.finished.store(0, std::memory_order_relaxed);
  const uint32_t generation = s.generation.load(std::memory_order_relaxed) + 1;
  s.claim.store(claimWord(generation, static_cast<uint32_t>(chunks), 0), std::memory_order_release);
  s.generation.store(generation, std::memory_order_seq_cst);
  if (s.sleeping.load(std::memory_order_seq_cst) && s.sleeping.exchange(false, std::memory_order_seq_cst)) {
    futexWakeAll(s.generation);
  }
  s.work(generation);
  for (int spins = 0; s.finished.load(std::memory_order_acquire) < chunks;) {
    if (++spins < kCallerSpins) {
      relax();
    } else {
      std::this_thread::yield();  // the helper holding a chunk lost its core
    }
  }
}

Candidate SearchTeam::search(const CategoryTable& table, const float* input, float threshold) {
  const SearchKernelFn kernel = activeChoiceKernel().search;
  const int tiles = table.tileCount();
  const int64_t work = int64_t{table.count()} * table.length();
  const int chunks = chunksFor(table, work);
  if (chunks < 2) return kernel(table, 0, tiles, input, threshold);
  if (!pace_.begin(work)) {
    const Candidate best = kernel(table, 0, tiles, input, threshold);
    pace_.end();
    return best;
  }
  Shared& s = *shared_;
  s.table = &table;
  s.input = input;
  s.threshold = threshold;
  s.kernel = kernel;
  s.batchKernel = nullptr;
  runShared(tiles, chunks);
  Candidate best = s.results[0].best;
  for (int k = 1; k < chunks; ++k) best = laterIfBetter(best, s.results[k].best);
  pace_.end();
  return best;
}

void SearchTeam::sweep(const CategoryTable& table, const float* const* inputs, int rows, float* const* out) {
  const BatchKernelFn kernel = activeChoiceKernel().numerators;
  const int tiles = table.tileCount();
  const int64_t work = int64_t{table.count()} * table.length() * rows;
  const int chunks = chunksFor(table, work);
  if (chunks < 2) return kernel(table, 0, tiles, inputs, rows, out);
  if (!pace_.begin(work)) {
    kernel(table, 0, tiles, inputs, rows, out);
    pace_.end();
    return;
  }
  Shared& s = *shared_;
  s.table = &table;
  s.batchKernel = kernel;
  s.batchInputs = inputs;
  s.batchRows = rows;
  s.batchOut = out;
  runShared(tiles, chunks);
  pace_.end();
}

}  // namespace fuzzyart
