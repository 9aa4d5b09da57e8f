#include "engine/learning.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "base/failure.h"
#include "engine/resonance.h"
#ifndef FUZZYART_PLAIN_ENGINE
#include "engine/search_team.h"
#endif

namespace fuzzyart {

namespace {

constexpr size_t kRowsPerBlock = 4096;

// What a row's decision does to the table.
void applyDecision(CategoryTable& table, const RowDecision& decision, std::span<const float> input,
                   const PassParameters& p, float oneMinusBeta, Observer* observer) {
  if (decision.zeroCategorySum) {
    fail(ErrorKind::kDivisionByZero, "Division by 0. Zero/Minvector. (%s) Can't continue.\n", "Vicinityvector");
  }
  switch (decision.search.outcome) {
    case SearchOutcome::kZeroInputSum:
      fail(ErrorKind::kDivisionByZero, "Division by 0. Zero/Minvector. (%s) Can't continue.\n", "Resonance");
    case SearchOutcome::kNoCategory:
      if (table.count() == table.capacity()) {
        fail(ErrorKind::kTooManyCategories, "Too many categories. Max:%d\n", table.capacity());
      }
      commitCategory(table, input, observer);
      break;
    case SearchOutcome::kResonance:
      learnInput(table, decision.search.winner, input, p.beta, oneMinusBeta);
      break;
  }
}

#ifndef FUZZYART_PLAIN_ENGINE
// A batch of rows whose numerators were summed against the table as it was
// before the first of them; each row then has only the categories changed
// since (by the rows before it) summed again, so every numerator is the one
// the row would have met alone.
class Batch {
 public:
  // Sums the numerators of the rows against the table.
  void sweep(SearchTeam& team, const CategoryTable& table, const float* rows, size_t length, int count) {
    const size_t room = roomFor((table.tileCount() + 1) * CategoryTable::kLanes);
    const float* inputs[kBatchRows];
    float* out[kBatchRows];
    for (int r = 0; r < count; ++r) {
      if (numerators_[r].size() < room) numerators_[r].resize(room);
      inputs[r] = rows + static_cast<size_t>(r) * length;
      out[r] = numerators_[r].data();
    }
    team.sweep(table, inputs, count, out);
    changed_.clear();
  }

  // The decision of row r of the batch, whose input sum is finite and
  // positive; the table has no zero denominator.
  SearchResult decide(const CategoryTable& table, int r, std::span<const float> input, float threshold) {
    if (numerators_[r].size() < roomFor(table.count())) numerators_[r].resize(roomFor(table.count()));
    float* numerators = numerators_[r].data();
    for (int j : changed_) numerators[j] = numeratorOf(table, j, input);
    return selectWinner(numerators, table.denominators(), table.count(), threshold);
  }

  // A category changed (learnt or new) after the sweep.
  void changed(int category) { changed_.push_back(category); }

 private:
  // Room for the numerators of `categories`, as the selection reads them.
  static size_t roomFor(int categories) {
    return static_cast<size_t>(categories + kSelectStep - 1) / kSelectStep * kSelectStep;
  }

  // One category's numerator, summed as the kernel sums it.
  static float numeratorOf(const CategoryTable& table, int j, std::span<const float> input) {
    const float* w = table.tile(j / CategoryTable::kLanes) + j % CategoryTable::kLanes;
    float sum = 0.0f;
    for (size_t i = 0; i < input.size(); ++i) {
      const float v = w[i * CategoryTable::kLanes];
      sum += input[i] < v ? input[i] : v;
    }
    return sum;
  }

  std::vector<float> numerators_[kBatchRows];
  std::vector<int> changed_;
};
#endif

}  // namespace

void checkRowsRead(const RowSource& rows) {
  if (rows.failed()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", rows.name().c_str());
}

void learnPass(CategoryTable& table, RowSource& rows, const PassParameters& p, ChoiceScratch& scratch,
               Observer* observer) {
  if (observer != nullptr) observer->onPassStart(p.pass, table.count(), p.beta);
  const size_t length = rows.length();
  const float oneMinusBeta = 1.0f - p.beta;
#ifdef FUZZYART_PLAIN_ENGINE
  TileSearch* const team = nullptr;  // the plain build is the one-thread baseline
#else
  SearchTeam shared(p.threads, p.measureSharing);
  TileSearch* const team = &shared;
  Batch batch;
#endif
  int64_t row = 0;
  rows.rewind();
  const float* block = nullptr;
#ifndef FUZZYART_PLAIN_ENGINE
  const SearchKernelFn kernel = activeChoiceKernel().search;
  MatchThresholds thresholds(p.vigilance);
  // The input sums of a block, summed before its rows are learnt: they do
  // not depend on the table, so they stay off the chain from one row's
  // winner to the next row's search.
  std::vector<float> inputSums(kRowsPerBlock);
#endif
  while (size_t delivered = rows.next(kRowsPerBlock, block)) {
#ifndef FUZZYART_PLAIN_ENGINE
    if (inputSums.size() < delivered) inputSums.resize(delivered);
    for (size_t k = 0; k < delivered; ++k) {
      inputSums[k] = inputDenominator(table.alpha(), std::span<const float>(block + k * length, length));
    }
#endif
    for (size_t k = 0; k < delivered;) {
#ifndef FUZZYART_PLAIN_ENGINE
      // Weights past a core's first-level cache: the rows' numerators are
      // summed in batches, each weight loaded once for the batch.
      if (worthBatching(table, p.batchFloats)) {
        const int count = static_cast<int>(std::min<size_t>(kBatchRows, delivered - k));
        batch.sweep(shared, table, block + k * length, length, count);
        for (int r = 0; r < count; ++r, ++k, ++row) {
          std::span<const float> input(block + k * length, length);
          reportRow(observer, RowLoop::kLearn, row, table.count());
          scratch.ensure(table.count());
          const float inputSum = inputSums[k];
          RowDecision decision;
          if (searchesByThreshold(table, inputSum)) {
            decision.search = batch.decide(table, r, input, thresholds.of(inputSum));
          } else {
            decision = classifyRow(table, input, p.vigilance, scratch);
          }
          applyDecision(table, decision, input, p, oneMinusBeta, observer);
          if (decision.search.outcome == SearchOutcome::kResonance) batch.changed(decision.search.winner);
          if (decision.search.outcome == SearchOutcome::kNoCategory) batch.changed(table.count() - 1);
        }
        continue;
      }
#endif
      std::span<const float> input(block + k * length, length);
      reportRow(observer, RowLoop::kLearn, row, table.count());
      if (table.count() == 0) {
        commitCategory(table, input, observer);
#ifndef FUZZYART_PLAIN_ENGINE
      } else if (const float inputSum = inputSums[k]; searchesByThreshold(table, inputSum)) {
        // classifyRow's search, with the sum at hand and the threshold remembered.
        // The team only where it shares the row: it costs a call otherwise.
        const RowDecision decision = searchByThreshold(table, input.data(), thresholds.of(inputSum), kernel,
                                                       shared.sharesRowsOf(table) ? team : nullptr);
        applyDecision(table, decision, input, p, oneMinusBeta, observer);
#endif
      } else {
        scratch.ensure(table.count());
        applyDecision(table, classifyRow(table, input, p.vigilance, scratch, team), input, p, oneMinusBeta,
                      observer);
      }
      ++k;
      ++row;
    }
  }
  checkRowsRead(rows);
  if (observer != nullptr) observer->onPassEnd(p.pass, table.count());
}

}  // namespace fuzzyart
