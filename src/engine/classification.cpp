#include "engine/classification.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <type_traits>
#include <vector>

#include "base/failure.h"
#include "engine/choice_kernel.h"
#include "base/chunk_team.h"
#include "engine/learning.h"
#include "base/large_buffer.h"
#include "engine/resonance.h"

namespace fuzzyart {

namespace {

// Rows per block: at least 2048, and about a megabyte of short rows, so
// that the threads a block starts are few.
constexpr size_t kRowsPerBlock = 2048;
constexpr size_t kFloatsPerBlock = size_t{1} << 18;
#ifdef FUZZYART_PLAIN_ENGINE
constexpr int kMaxThreads = 1;  // the plain build is the one-thread baseline
#else
constexpr int kMaxThreads = 64;
#endif
// Below this much choice work per thread a further thread costs more than it
// saves.
constexpr double kWorkPerThread = 1.0e6;

// Rows of a chunk: about 16,384 values, a multiple of the batch, so that a
// chunk's classification and its reports each take some tens of
// microseconds on short rows.
size_t chunkRowsFor(size_t length) {
  const size_t rows = std::max<size_t>(64, size_t{16384} / length);
  return rows / kBatchRows * kBatchRows;
}

void classifyRange(const CategoryTable& table, const float* rows, size_t length, size_t first, size_t last,
                   float vigilance, ChoiceScratch& scratch, RowDecision* decisions) {
  size_t k = first;
#ifndef FUZZYART_PLAIN_ENGINE
  MatchThresholds thresholds(vigilance);
  if (worthBatching(table, kBatchFloats) && !table.anyZeroDenominator()) {
    // Past the first-level cache: the numerators of a batch of rows at
    // once, each weight loaded once for the batch.
    std::vector<float> store(static_cast<size_t>(kBatchRows) * scratch.room());
    for (; k + kBatchRows <= last; k += kBatchRows) {
      const float* inputs[kBatchRows];
      float* out[kBatchRows];
      for (int r = 0; r < kBatchRows; ++r) {
        inputs[r] = rows + (k + r) * length;
        out[r] = store.data() + r * scratch.room();
      }
      activeChoiceKernel().numerators(table, 0, table.tileCount(), inputs, kBatchRows, out);
      for (int r = 0; r < kBatchRows; ++r) {
        const std::span<const float> input(inputs[r], length);
        const float inputSum = inputDenominator(table.alpha(), input);
        if (searchesByThreshold(table, inputSum)) {
          decisions[k + r] = RowDecision{};
          decisions[k + r].search =
              selectWinner(out[r], table.denominators(), table.count(), thresholds.of(inputSum));
        } else {
          decisions[k + r] = classifyRow(table, input, vigilance, scratch);
        }
      }
    }
  }
  // classifyRow, with the thresholds of recent sums remembered.
  const SearchKernelFn kernel = activeChoiceKernel().search;
  for (; k < last; ++k) {
    const std::span<const float> input(rows + k * length, length);
    const float inputSum = inputDenominator(table.alpha(), input);
    decisions[k] = searchesByThreshold(table, inputSum)
                       ? searchByThreshold(table, input.data(), thresholds.of(inputSum), kernel)
                       : classifyRow(table, input, vigilance, scratch);
  }
#else
  for (; k < last; ++k) {
    decisions[k] = classifyRow(table, std::span<const float>(rows + k * length, length), vigilance, scratch);
  }
#endif
}

[[noreturn]] void failDivision(const char* label) {
  fail(ErrorKind::kDivisionByZero, "Division by 0. Zero/Minvector. (%s) Can't continue.\n", label);
}

}  // namespace

int learningThreads(int threads) {
  return std::clamp(threads > 0 ? threads : usableCores(), 1, kMaxThreads);
}

int classifyOne(const CategoryTable& table, std::span<const float> input, float vigilance, ChoiceScratch& scratch) {
  scratch.ensure(table.count());
  const RowDecision decision = classifyRow(table, input, vigilance, scratch);
  if (decision.zeroCategorySum) failDivision("Vicinityvector(RC)");
  switch (decision.search.outcome) {
    case SearchOutcome::kNoCategory:
      return -1;
    case SearchOutcome::kZeroInputSum:
      failDivision("Resonance(RC)");
    case SearchOutcome::kResonance:
      break;
  }
  return decision.search.winner;
}

void classifyRows(const CategoryTable& table, RowSource& rows, float vigilance, const RowCallback& accept,
                  Observer* observer, int threads) {
  const size_t length = std::max<size_t>(1, rows.length());
  const size_t rowsPerBlock = std::max(kRowsPerBlock, kFloatsPerBlock / length);
  const double work = double(table.count()) * double(length) * double(kRowsPerBlock);
  int wanted = threads > 0 ? threads : usableCores();
  wanted = std::clamp(std::min<int>(wanted, static_cast<int>(work / kWorkPerThread)), 1, kMaxThreads);
  std::vector<ChoiceScratch> scratch(static_cast<size_t>(wanted));
  for (auto& s : scratch) s.ensure(table.count());
  // Each row's decision is written before it is read: its memory, from the
  // large buffers a run has touched already, needs no setting up.
  static_assert(std::is_trivially_copyable_v<RowDecision> && std::is_trivially_destructible_v<RowDecision>);
  LargeBuffer decisionMemory(rowsPerBlock * sizeof(RowDecision));
  RowDecision* const decisions = reinterpret_cast<RowDecision*>(decisionMemory.data());
  const float* block = nullptr;
  // Rows are independent: each block is classified in chunks, on several
  // cores when it pays, while this thread reports the rows of the chunks
  // done one by one in row order, so that what the caller sees is the same
  // as row-by-row work.
  ChunkTeam team(wanted, rowsPerBlock, chunkRowsFor(length), [&](size_t first, size_t last, int worker) {
    classifyRange(table, block, rows.length(), first, last, vigilance, scratch[static_cast<size_t>(worker)],
                  decisions);
  });
  int64_t row = 0;
  rows.rewind();
  while (size_t delivered = rows.next(rowsPerBlock, block)) {
    team.start(delivered);
    for (size_t c = 0; c < team.chunks(); ++c) {
      team.take(c);
      const size_t last = std::min(delivered, (c + 1) * team.chunkRows());
      for (size_t k = c * team.chunkRows(); k < last; ++k, ++row) {
        reportRow(observer, RowLoop::kClassify, row, table.count());
        const RowDecision& decision = decisions[k];
        if (decision.zeroCategorySum) failDivision("Vicinityvector(RC)");
        int category = -1;
        switch (decision.search.outcome) {
          case SearchOutcome::kNoCategory:
            break;
          case SearchOutcome::kZeroInputSum:
            failDivision("Resonance(RC)");
          case SearchOutcome::kResonance:
            category = decision.search.winner;
            break;
        }
        accept(row, category, std::span<const float>(block + k * rows.length(), rows.length()));
      }
    }
  }
  checkRowsRead(rows);
}

}  // namespace fuzzyart
