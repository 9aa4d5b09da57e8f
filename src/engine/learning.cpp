#include "engine/learning.h"

#include <span>
#include <vector>

#include "base/failure.h"

namespace fuzzyart {

namespace {

constexpr size_t kRowsPerBlock = 4096;

// The loop of a pass: every row in order to learnRow(search, k, input, row)
// after the observer has heard of it, k its place in the search's block.
template <typename LearnRow>
void passOver(CategoryTable& table, RowSource& rows, const PassParameters& p, Observer* observer, LearnRow learnRow) {
  if (observer != nullptr) observer->onPassStart(p.pass, table.count(), p.beta);
  const std::unique_ptr<RowSearch> search = makeRowSearch(table, p.search);
  const size_t length = rows.length();
  int64_t row = 0;
  rows.rewind();
  const float* block = nullptr;
  while (size_t delivered = rows.next(kRowsPerBlock, block)) {
    search->setRows(block, delivered);
    for (size_t k = 0; k < delivered; ++k, ++row) {
      reportRow(observer, RowLoop::kLearn, row, table.count());
      learnRow(*search, k, std::span<const float>(block + k * length, length), row);
    }
  }
  checkRowsRead(rows);
  if (observer != nullptr) observer->onPassEnd(p.pass, table.count());
}

}  // namespace

void checkRowsRead(const RowSource& rows) {
  if (rows.failed()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", rows.name().c_str());
}

void learnPass(CategoryTable& table, RowSource& rows, const PassParameters& p, Observer* observer) {
  passOver(table, rows, p, observer, [&](RowSearch& search, size_t k, std::span<const float> input, int64_t) {
    learnRow(table, search, search.decide(k), k, input, p.beta, observer);
  });
}

int64_t learnLabelledPass(CategoryTable& table, LabelledCategories& categories, RowSource& rows,
                          std::span<const int32_t> labels, const PassParameters& p, Observer* observer) {
  int64_t conflicts = 0;
  int64_t seen = 0;
  std::vector<int> tried;
  passOver(table, rows, p, observer, [&](RowSearch& search, size_t k, std::span<const float> input, int64_t row) {
    if (static_cast<uint64_t>(row) >= labels.size()) {
      fail(ErrorKind::kInvalidParameter, "%zu labels for more rows.\n", labels.size());
    }
    conflicts += learnLabelledRow(table, categories, search, k, input, labels[static_cast<size_t>(row)], p.beta,
                                  tried, observer);
    seen = row + 1;
  });
  if (static_cast<uint64_t>(seen) != labels.size()) {
    fail(ErrorKind::kInvalidParameter, "%zu labels for %lld rows.\n", labels.size(), static_cast<long long>(seen));
  }
  return conflicts;
}

}  // namespace fuzzyart
