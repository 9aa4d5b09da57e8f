#include "data/scaling_check.h"

#include <cmath>

#include "base/failure.h"
#include "fuzzyart/limits.h"

namespace fuzzyart {

void checkScaling(const Scaling& s) {
  const size_t variables = s.columns.size();
  if (variables == 0 || s.min.size() != variables || s.max.size() != variables) {
    fail(ErrorKind::kInvalidParameter, "A scaling needs a range for each of its %zu used columns, and a column.\n",
         variables);
  }
  if (s.inputLength() > kMaxInputLength) {
    fail(ErrorKind::kInvalidParameter, "Too many datacolumnes. Max:%d\n", kMaxInputLength);
  }
  for (size_t k = 0; k < variables; ++k) {
    const int column = s.columns[k];
    if (column < 0 || column >= s.columnCount || (k > 0 && column <= s.columns[k - 1])) {
      fail(ErrorKind::kInvalidParameter, "The used columns of a scaling must ascend within 0 to %d: %d\n",
           s.columnCount - 1, column);
    }
    if (!(std::isfinite(s.min[k]) && std::isfinite(s.max[k]) && s.min[k] < s.max[k])) {
      fail(ErrorKind::kInvalidParameter, "The range of scaled column %d is no finite range from low to high.\n",
           column);
    }
  }
}

}  // namespace fuzzyart
