// The search of one learning row shared among threads: the tiles are cut
// into chunks that this thread and its helpers claim one at a time, and the
// winners of the chunks are merged in chunk order, so the result is the one
// thread's to the bit whoever computed which chunk.
//
// Helpers start with the first row big enough to share. Between rows they
// spin for a few microseconds (a row of a pass follows the last within well
// under that), then sleep on a futex until the next shared row, so a pass
// whose rows are small or that waits on its input does not keep a core
// busy. A helper that is late or descheduled costs little: the calling
// thread claims every chunk that is still free.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "engine/category_table.h"
#include "engine/choice_kernel.h"

namespace fuzzyart {

class SearchTeam {
 public:
  // Choice work (categories times input length) that a chunk must carry to
  // be worth a thread: a row handed to a helper costs a few hundred
  // nanoseconds of cache-line traffic between the cores.
  static constexpr int64_t kWorkPerChunk = 16384;

  // threads: the most threads a row may use, this one included. With
  // measure, a job that could be shared is shared only while that is
  // measured to be faster than working alone (below); without, always.
  explicit SearchTeam(int threads, bool measure = true);
  ~SearchTeam();
  SearchTeam(const SearchTeam&) = delete;
  SearchTeam& operator=(const SearchTeam&) = delete;

  // The winner among every tile for one input against a numerator threshold
  // (choice_kernel.h's SearchKernelFn over every tile).
  Candidate search(const CategoryTable& table, const float* input, float threshold);
  // Whether search() would share a row of this table among threads (else it
  // runs the kernel on this thread alone).
  bool sharesRowsOf(const CategoryTable& table) const {
    return threads_ > 1 && table.tileCount() > 1 && int64_t{table.count()} * table.length() >= 2 * kWorkPerChunk;
  }
  // The numerators of a batch of rows (choice_kernel.h's BatchKernelFn over
  // every tile), shared the same way.
  void sweep(const CategoryTable& table, const float* const* inputs, int rows, float* const* out);

  struct Shared;

 private:
  void startHelpers();
  // How many chunks a job of this much work is cut into (1: this thread alone).
  int chunksFor(const CategoryTable& table, int64_t work);
  // Publishes the job that the shared state describes, works on it, and
  // waits until every chunk is done.
  void runShared(int tiles, int chunks);

  // Whether sharing pays depends on what handing a chunk to another core
  // costs on the machine at hand, which differs between machines and over
  // time on a shared one: jobs go in windows of 32, each window shared or
  // alone and timed after its first job (which bears the switch, such as
  // waking a sleeping helper), both ways tried first, the faster one per
  // element-op kept, and the other tried again every 16th window. Only the
  // speed depends on it: the bits are the same either way.
  class Pace {
   public:
    explicit Pace(bool measure) : measure_(measure) {}
    // Whether the job of `work` element-ops about to run is shared.
    bool begin(int64_t work);
    void end();

   private:
    static constexpr int kWindow = 32;
    bool measure_;
    bool shared_ = true;
    int inWindow_ = 0;
    int64_t windows_ = 0;
    int64_t work_ = 0;
    int64_t start_ = 0;
    double perOp_[2] = {0.0, 0.0};  // nanoseconds per element-op: alone, shared
    bool timed_[2] = {false, false};
  };

  int threads_;
  Pace pace_;
  bool started_ = false;
  std::unique_ptr<Shared> shared_;
  std::vector<std::thread> helpers_;
};

}  // namespace fuzzyart
