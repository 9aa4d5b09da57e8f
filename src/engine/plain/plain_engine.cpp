// The plain build's engine: the plain search on one thread, whatever the
// caller asks for (the build holds neither the choice kernel nor the search
// team).
#include "engine/row_search.h"

namespace fuzzyart {

Engine buildEngine() { return Engine::kPlain; }

int searchThreads(int) { return 1; }

std::unique_ptr<RowSearch> makeRowSearch(const CategoryTable& table, const SearchOptions& options) {
  return makePlainRowSearch(table, options);
}

}  // namespace fuzzyart
