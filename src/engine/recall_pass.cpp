#include "engine/recall_pass.h"

#include <memory>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/choice_kernel.h"
#include "engine/resonance.h"
#include "results/centre_file.h"
#include "results/output_file.h"
#include "run/console.h"
#include "run/keyboard.h"

namespace fuzzyart {

namespace {

constexpr size_t kRowsPerBlock = 2048;
#ifdef FUZZYART_PLAIN_ENGINE
constexpr bool kMayUseThreads = false;  // the plain build is the one-thread baseline
#else
constexpr bool kMayUseThreads = true;
#endif
// Below this much choice work per block a second thread costs more than it
// saves.
constexpr double kParallelWork = 2.0e6;

void classifyRange(const CategoryTable& table, const float* rows, size_t length, size_t first, size_t last,
                   float vigilance, ChoiceScratch& scratch, RowDecision* decisions) {
  for (size_t k = first; k < last; ++k) {
    decisions[k] = classifyRow(table, std::span<const float>(rows + k * length, length), vigilance, scratch);
  }
}

}  // namespace

void recallRows(RecordReader& rows, CategoryTable& table, const RecallParameters& p, OutputFile& valueFile,
                CentreSums* centres) {
  const size_t length = rows.recordLength();
  auto scratch = std::make_unique<ChoiceScratch[]>(2);
  std::vector<RowDecision> decisions(kRowsPerBlock);
  const bool parallel = kMayUseThreads && p.parallel && std::thread::hardware_concurrency() > 1 &&
                        double(table.count()) * double(length) * double(kRowsPerBlock) >= kParallelWork;
  int64_t row = 0;
  int64_t ticks = 0;
  rows.rewind();
  const float* block = nullptr;
  while (size_t delivered = rows.nextBlock(kRowsPerBlock, block)) {
    // Rows are independent: classify the block first (on both cores when it
    // pays), then report them one by one in row order, so that the files and
    // the console are the same as row-by-row work.
    size_t split = 0;
    std::thread helper;
    if (parallel && delivered > 1) {
      try {
        helper = std::thread(classifyRange, std::cref(table), block, length, delivered / 2, delivered, p.vigilance,
                             std::ref(scratch[1]), decisions.data());
        split = delivered / 2;
      } catch (const std::system_error&) {
        split = 0;  // no second thread to be had: this one does the whole block
      }
    }
    classifyRange(table, block, length, 0, split == 0 ? delivered : split, p.vigilance, scratch[0],
                  decisions.data());
    if (helper.joinable()) helper.join();
    for (size_t k = 0; k < delivered; ++k, ++row) {
      progressTick(row, ticks, p.quiet);
      pollCancel();
      const RowDecision& decision = decisions[k];
      if (decision.zeroCategorySum) divisionByZero("Vicinityvector(RC)");
      switch (decision.search.outcome) {
        case SearchOutcome::kNoCategory:
          panic("Can't find category (RC). (Not enough iterations/Unstable learning?)\n");
        case SearchOutcome::kZeroInputSum:
          divisionByZero("Resonance(RC)");
        case SearchOutcome::kResonance:
          break;
      }
      const int winner = decision.search.winner;
      if (!valueFile.printLine(winner + 1)) panicDiskFull();
      ++table.counts(winner);
      if (centres != nullptr) addToCentre(*centres, winner, block + k * length, p.variableCount);
    }
  }
  if (!valueFile.flush()) panicDiskFull();
}

}  // namespace fuzzyart
