// The one decision of a row against the categories: which of them compete,
// the winner and the resets, under a match test; and the learning rule that
// a winner learns a row by. Learning and classification call it in their row
// loops and know nothing of how it searches.
//
// Two implementations stand behind the interface. The fast one searches the
// tiles in vector registers with the match test as a threshold on the
// numerator, sums the numerators of batches of rows at once where the
// weights are past the first-level cache, and shares one row's search among
// threads where that pays. The plain one is the definition read literally
// (every sum recomputed per category and per test, resets followed by a new
// search): the oracle that the tests and the end-to-end cases check the fast
// one against, and the baseline the benchmarks compare with. Both give the
// same decision to the bit. The program uses the fast one; the plain build
// (fuzzyart_plain) has only the plain one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/category_table.h"
#include "engine/decision.h"

namespace fuzzyart {

enum class Engine { kFast, kPlain };

// The engine of this build: fast, or plain in the plain build.
Engine buildEngine();

// Tables of at least this many weights take rows in batches: those past a
// core's first-level cache (64 KiB and more), where the loads of the weights,
// not the arithmetic, set the pace of a row at a time. Measured: tables in
// the first-level cache are slower in batches.
inline constexpr int64_t kBatchFloats = int64_t{1} << 14;

struct SearchOptions {
  MatchTest test;      // the test of decide()
  int threads = 1;     // the most threads one row's search may use
  // Tables of at least this many weights take rows in batches.
  int64_t batchFloats = kBatchFloats;
  // A row that could be shared among threads is shared only where that is
  // measured to be faster (search_team.h); false shares it always.
  bool measureSharing = true;
  Engine engine = buildEngine();
};

// The threads one row's search may use for a caller's cap (0: every core the
// process may run on).
int searchThreads(int cap);

class RowSearch {
 public:
  virtual ~RowSearch() = default;

  // The rows that the calls below take by index: `count` input vectors of
  // the table's length side by side, valid until the next setRows().
  virtual void setRows(const float* rows, size_t count) = 0;

  // Row k against the table as it is now, under the options' test.
  virtual Decision decide(size_t k) = 0;
  // decide(k) for every row of the setRows(), into out[k]: rows that nothing
  // changes between (classification) in one call.
  virtual void decideEach(Decision* out) = 0;
  // Row k under another test with the categories of `tried` reset: the
  // search of a row after a category it may not join has won.
  virtual Decision decideAbove(size_t k, const MatchTest& test, std::span<const int> tried) = 0;
  // The match of row k against category j, in double as the test takes it.
  virtual double match(size_t k, int j) const = 0;

  // Category j learns row k: w = Beta * min(I, w) + (1 - Beta) * w, computed
  // in double precision from single-precision operands and rounded once;
  // j's denominator is summed anew from the new weights.
  virtual void learn(CategoryTable& table, int j, size_t k, float beta) = 0;
  // Category j changed otherwise (a new category was committed): the rows
  // after it must meet it as it is now.
  virtual void changed(int j) = 0;
};

// A search of the options' engine over the table, which must outlive it.
std::unique_ptr<RowSearch> makeRowSearch(const CategoryTable& table, const SearchOptions& options);
std::unique_ptr<RowSearch> makePlainRowSearch(const CategoryTable& table, const SearchOptions& options);

}  // namespace fuzzyart
