#include "engine/learning.h"

#include <span>

#include "base/failure.h"
#include "engine/resonance.h"
#ifndef FUZZYART_PLAIN_ENGINE
#include "engine/search_team.h"
#endif

namespace fuzzyart {

namespace {
constexpr size_t kRowsPerBlock = 4096;
}

void checkRowsRead(const RowSource& rows) {
  if (rows.failed()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", rows.name().c_str());
}

void learnPass(CategoryTable& table, RowSource& rows, const PassParameters& p, ChoiceScratch& scratch,
               Observer* observer) {
  if (observer != nullptr) observer->onPassStart(p.pass, table.count(), p.beta);
  const size_t length = rows.length();
  const float oneMinusBeta = 1.0f - p.beta;
  int64_t row = 0;
#ifdef FUZZYART_PLAIN_ENGINE
  TileSearch* const team = nullptr;  // the plain build is the one-thread baseline
#else
  SearchTeam shared(p.threads);
  TileSearch* const team = &shared;
#endif
  rows.rewind();
  const float* block = nullptr;
  while (size_t delivered = rows.next(kRowsPerBlock, block)) {
    for (size_t k = 0; k < delivered; ++k, ++row) {
      std::span<const float> input(block + k * length, length);
      reportRow(observer, RowLoop::kLearn, row, table.count());
      if (table.count() == 0) {
        commitCategory(table, input, observer);
        continue;
      }
      scratch.ensure(table.count());
      RowDecision decision = classifyRow(table, input, p.vigilance, scratch, team);
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
  }
  checkRowsRead(rows);
  if (observer != nullptr) observer->onPassEnd(p.pass, table.count());
}

}  // namespace fuzzyart
