#include "engine/learning.h"

#include <memory>
#include <span>

#include "engine/choice_kernel.h"
#include "engine/resonance.h"
#include "run/console.h"
#include "run/keyboard.h"

namespace fuzzyart {

namespace {

constexpr size_t kRowsPerBlock = 4096;

void printPassHeader(int pass, int count, float beta) {
  if (pass == 1) {
    consoleErr("\nCategories at start:-   ");
  } else {
    consoleErr("\nCategories at start:%-4d", count);
  }
  consoleErr(" Iteration:%-3d \xe1:%-18.6G", pass, double{beta});
}

// The full progress print backs up into the blanks after Beta and shows the
// category count; the short one only turns the spinner.
void showProgress(int64_t row, int64_t& step, int count) {
  if (row % 120 == 0) {
    consoleErr("\b\b\b\b\b%04d%c", count, spinnerChar(step));
    ++step;
  } else if (row % 64 == 0) {
    consoleErr("\b%c", spinnerChar(step));
    ++step;
  }
}

}  // namespace

void learnCategories(RecordReader& rows, CategoryTable& table, const LearningParameters& p) {
  auto scratch = std::make_unique<ChoiceScratch>();
  const size_t length = rows.recordLength();
  float beta = p.beta;
  for (int pass = 1; pass <= p.iterations; ++pass) {
    printPassHeader(pass, table.count(), beta);
    int64_t row = 0;
    int64_t step = 0;
    rows.rewind();
    const float oneMinusBeta = 1.0f - beta;
    const float* block = nullptr;
    while (size_t delivered = rows.nextBlock(kRowsPerBlock, block)) {
      for (size_t k = 0; k < delivered; ++k, ++row) {
        std::span<const float> input(block + k * length, length);
        if (!p.quiet) showProgress(row, step, table.count());
        pollCancel();
        if (table.count() == 0) {
          commitCategory(table, input, p.debugLevel);
          continue;
        }
        RowDecision decision = classifyRow(table, input, p.vigilance, *scratch);
        if (decision.zeroCategorySum) divisionByZero("Vicinityvector");
        switch (decision.search.outcome) {
          case SearchOutcome::kZeroInputSum:
            divisionByZero("Resonance");
          case SearchOutcome::kNoCategory:
            if (table.count() == kMaxCategories) panic("Too many categories. Max:%d\n", kMaxCategories);
            commitCategory(table, input, p.debugLevel);
            break;
          case SearchOutcome::kResonance:
            learnInput(table, decision.search.winner, input, beta, oneMinusBeta);
            break;
        }
      }
    }
    if (!p.quiet) consoleErr("\b\b\b\b\b%04d%c", table.count(), spinnerChar(step + 3));
    beta = beta * p.itp;
  }
  consoleErr("\nFinal number of categories: %-2d\n ", table.count());
}

}  // namespace fuzzyart
