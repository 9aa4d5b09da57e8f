// The fast search: the choice kernel's threshold search, batches of rows past
// the first-level cache, rows shared among threads; the plain one where the
// options ask for it.
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "base/cores.h"
#include "engine/choice_kernel.h"
#include "engine/match_test.h"
#include "engine/row_search.h"
#include "engine/search_team.h"

namespace fuzzyart {

namespace {

// The most threads one row's search may take.
constexpr int kMaxThreads = 64;

class FastRowSearch final : public RowSearch {
 public:
  FastRowSearch(const CategoryTable& table, const SearchOptions& options)
      : table_(table),
        options_(options),
        kernel_(activeChoiceKernel()),
        thresholds_(options.test),
        length_(static_cast<size_t>(table.length())) {
    if (options.threads > 1) team_.emplace(options.threads, options.measureSharing);
  }

  void setRows(const float* rows, size_t count) override {
    rows_ = rows;
    rowCount_ = count;
    // The input sums do not depend on the table: summed here, they stay off
    // the chain from one row's winner to the next row's search.
    if (inputSums_.size() < count) inputSums_.resize(count);
    for (size_t k = 0; k < count; ++k) inputSums_[k] = inputDenominator(table_.alpha(), input(k));
    batchCount_ = 0;
    changed_.clear();
  }

  Decision decide(size_t k) override {
    if (table_.count() == 0) return {Outcome::kNoCategory};
    if (table_.anyZeroDenominator()) return {Outcome::kZeroCategorySum};
    const float inputSum = inputSums_[k];
    if (!byThreshold(inputSum)) [[unlikely]] return general(k, options_.test, {});
    const float threshold = thresholds_.of(inputSum);
    if (worthBatching()) return winnerOf(batched(k, threshold));
    return winnerOf(searchTiles(k, threshold));
  }

  void decideEach(Decision* out) override {
    for (size_t k = 0; k < rowCount_; ++k) out[k] = FastRowSearch::decide(k);
  }

  Decision decideAbove(size_t k, const MatchTest& test, std::span<const int> tried) override {
    if (table_.count() == 0) return {Outcome::kNoCategory};
    if (table_.anyZeroDenominator()) return {Outcome::kZeroCategorySum};
    const float inputSum = inputSums_[k];
    if (byThreshold(inputSum)) {
      // A test raised past every tried category's match leaves them out by
      // itself: the best passing category is then the winner among the
      // others. Only a test that a tried one still passes needs the resets.
      const Candidate best = searchTiles(k, matchThreshold(inputSum, test));
      if (best.category < 0) return {Outcome::kNoCategory};
      if (std::find(tried.begin(), tried.end(), best.category) == tried.end()) {
        return {Outcome::kResonance, best.category};
      }
    }
    return general(k, test, tried);
  }

  double match(size_t k, int j) const override { return double{numeratorOf(j, input(k))} / double{inputSums_[k]}; }

  void learn(CategoryTable& table, int j, size_t k, float beta) override {
    kernel_.update(table, j, input(k).data(), beta, 1.0f - beta);
    changed(j);
  }

  void changed(int j) override {
    if (batchCount_ > 0) changed_.push_back(j);
  }

 private:
  std::span<const float> input(size_t k) const { return {rows_ + k * length_, length_}; }

  // Whether the match test of a row is a threshold on the numerator: its
  // input sum is finite and above 0 (the table has no zero denominator).
  static bool byThreshold(float inputSum) { return std::isfinite(inputSum) && inputSum > 0.0f; }

  bool worthBatching() const {
    return int64_t{table_.count()} * table_.length() >= options_.batchFloats;
  }

  static Decision winnerOf(const Candidate& best) {
    if (best.category < 0) return {Outcome::kNoCategory};
    return {Outcome::kResonance, best.category};
  }

  // The tiles searched with the threshold applied while the sums are in the
  // kernel's registers; by the team only where it shares the row (it costs
  // a call otherwise).
  Candidate searchTiles(size_t k, float threshold) {
    const float* row = rows_ + k * length_;
    if (team_ && team_->sharesRowsOf(table_)) return team_->search(table_, row, threshold);
    return kernel_.search(table_, 0, table_.tileCount(), row, threshold);
  }

  // Every choice value and numerator, then the test-and-reset order over
  // them: rows whose input sum is zero or not finite, and a raised test that
  // a tried category still passes.
  // Out of line, as batched(): the registers they need would otherwise be
  // saved and restored around every row's search of small tables.
  [[gnu::noinline]] Decision general(size_t k, const MatchTest& test, std::span<const int> tried) {
    scratch_.ensure(table_.count());
    kernel_.kernel(table_, rows_ + k * length_, scratch_);
    for (int j : tried) scratch_.choices[j] = -1.0f;
    const auto count = static_cast<size_t>(table_.count());
    return findResonance({scratch_.choices, count}, {scratch_.numerators, count}, inputSums_[k], test);
  }

  // Rows in batches: the numerators of up to kBatchRows rows summed at once
  // against the table as it was before the first of them, each weight loaded
  // once for the batch; each row then has the categories changed since (by
  // the rows before it) summed again, so that every numerator is the one the
  // row would have met alone.
  [[gnu::noinline]] Candidate batched(size_t k, float threshold) {
    if (batchCount_ == 0 || k < batchFirst_ || k >= batchFirst_ + static_cast<size_t>(batchCount_)) sweep(k);
    std::vector<float>& numerators = numerators_[k - batchFirst_];
    if (numerators.size() < roomFor(table_.count())) numerators.resize(roomFor(table_.count()));
    const std::span<const float> row = input(k);
    for (int j : changed_) numerators[static_cast<size_t>(j)] = numeratorOf(j, row);
    return kernel_.select(numerators.data(), table_.denominators(), table_.count(), threshold);
  }

  void sweep(size_t k) {
    batchFirst_ = k;
    batchCount_ = static_cast<int>(std::min<size_t>(kBatchRows, rowCount_ - k));
    changed_.clear();
    const size_t room = roomFor((table_.tileCount() + 1) * CategoryTable::kLanes);
    const float* inputs[kBatchRows];
    float* out[kBatchRows];
    for (int r = 0; r < batchCount_; ++r) {
      if (numerators_[r].size() < room) numerators_[r].resize(room);
      inputs[r] = rows_ + (k + static_cast<size_t>(r)) * length_;
      out[r] = numerators_[r].data();
    }
    if (team_) {
      team_->sweep(table_, inputs, batchCount_, out);
    } else {
      kernel_.numerators(table_, 0, table_.tileCount(), inputs, batchCount_, out);
    }
  }

  // Room for the numerators of `categories`, as the selection reads them.
  static size_t roomFor(int categories) {
    return static_cast<size_t>(categories + kSelectStep - 1) / kSelectStep * kSelectStep;
  }

  // One category's numerator, summed as the kernel sums it.
  float numeratorOf(int j, std::span<const float> row) const {
    const float* w = table_.tile(j / CategoryTable::kLanes) + j % CategoryTable::kLanes;
    float sum = 0.0f;
    for (size_t i = 0; i < row.size(); ++i) {
      const float v = w[i * CategoryTable::kLanes];
      sum += row[i] < v ? row[i] : v;
    }
    return sum;
  }

  const CategoryTable& table_;
  SearchOptions options_;
  const ChoiceKernelTarget& kernel_;
  MatchThresholds thresholds_;
  size_t length_;
  std::optional<SearchTeam> team_;
  ChoiceScratch scratch_;
  const float* rows_ = nullptr;
  size_t rowCount_ = 0;
  std::vector<float> inputSums_;
  size_t batchFirst_ = 0;
  int batchCount_ = 0;  // rows of the current batch; 0: none
  std::vector<float> numerators_[kBatchRows];
  std::vector<int> changed_;  // categories changed since the batch's sweep
};

}  // namespace

Engine buildEngine() { return Engine::kFast; }

int searchThreads(int cap) { return std::clamp(cap > 0 ? cap : usableCores(), 1, kMaxThreads); }

std::unique_ptr<RowSearch> makeRowSearch(const CategoryTable& table, const SearchOptions& options) {
  if (options.engine == Engine::kPlain) return makePlainRowSearch(table, options);
  return std::make_unique<FastRowSearch>(table, options);
}

}  // namespace fuzzyart
