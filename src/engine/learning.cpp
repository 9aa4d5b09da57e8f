#include "engine/learning.h"

#include <span>

#include "base/failure.h"
#include "engine/art_rule.h"

namespace fuzzyart {

namespace {
constexpr size_t kRowsPerBlock = 4096;
}

void checkRowsRead(const RowSource& rows) {
  if (rows.failed()) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n\n", rows.name().c_str());
}

void learnPass(CategoryTable& table, RowSource& rows, const PassParameters& p, Observer* observer) {
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
      learnRow(table, *search, search->decide(k), k, {block + k * length, length}, p.beta, observer);
    }
  }
  checkRowsRead(rows);
  if (observer != nullptr) observer->onPassEnd(p.pass, table.count());
}

}  // namespace fuzzyart
