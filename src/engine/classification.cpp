#include "engine/classification.h"

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

#include "base/chunk_team.h"
#include "base/cores.h"
#include "base/failure.h"
#include "base/large_buffer.h"
#include "engine/art_rule.h"
#include "engine/learning.h"

namespace fuzzyart {

namespace {

// Rows per block: at least 2048, and about a megabyte of short rows, so
// that the threads a block starts are few.
constexpr size_t kRowsPerBlock = 2048;
constexpr size_t kFloatsPerBlock = size_t{1} << 18;
constexpr int kMaxThreads = 64;
// Below this much choice work per thread a further thread costs more than it
// saves.
constexpr double kWorkPerThread = 1.0e6;
// Rows a batch of the search takes at once: chunks hold a multiple of it.
constexpr size_t kBatch = 4;

// Rows of a chunk: about 16,384 values, a multiple of the batch, so that a
// chunk's classification and its reports each take some tens of
// microseconds on short rows.
size_t chunkRowsFor(size_t length) {
  const size_t rows = std::max<size_t>(64, size_t{16384} / length);
  return rows / kBatch * kBatch;
}

}  // namespace

int classifyOne(const CategoryTable& table, std::span<const float> input, const SearchOptions& options) {
  const std::unique_ptr<RowSearch> search = makeRowSearch(table, options);
  search->setRows(input.data(), 1);
  return acceptedCategory(search->decide(0));
}

void classifyRows(const CategoryTable& table, RowSource& rows, const SearchOptions& options, const AcceptRow& accept,
                  Observer* observer, int threads) {
  const size_t length = std::max<size_t>(1, rows.length());
  const size_t rowsPerBlock = std::max(kRowsPerBlock, kFloatsPerBlock / length);
  const double work = double(table.count()) * double(length) * double(kRowsPerBlock);
  int wanted = options.engine == Engine::kPlain ? 1 : threads > 0 ? threads : usableCores();
  wanted = std::clamp(std::min<int>(wanted, static_cast<int>(work / kWorkPerThread)), 1, kMaxThreads);
  // One search per worker, each on one thread: the rows are shared instead.
  SearchOptions alone = options;
  alone.threads = 1;
  std::vector<std::unique_ptr<RowSearch>> searches;
  for (int w = 0; w < wanted; ++w) searches.push_back(makeRowSearch(table, alone));
  // Each row's decision is written before it is read: its memory, from the
  // large buffers a run has touched already, needs no setting up.
  static_assert(std::is_trivially_copyable_v<Decision> && std::is_trivially_destructible_v<Decision>);
  LargeBuffer decisionMemory(rowsPerBlock * sizeof(Decision));
  Decision* const decisions = reinterpret_cast<Decision*>(decisionMemory.data());
  const float* block = nullptr;
  // Rows are independent: each block is classified in chunks, on several
  // cores when it pays, while this thread reports the rows of the chunks
  // done one by one in row order, so that what the caller sees is the same
  // as row-by-row work.
  ChunkTeam team(wanted, rowsPerBlock, chunkRowsFor(length), [&](size_t first, size_t last, int worker) {
    RowSearch& search = *searches[static_cast<size_t>(worker)];
    search.setRows(block + first * rows.length(), last - first);
    search.decideEach(decisions + first);
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
        accept(row, acceptedCategory(decisions[k]), std::span<const float>(block + k * rows.length(), rows.length()));
      }
    }
  }
  checkRowsRead(rows);
}

}  // namespace fuzzyart
