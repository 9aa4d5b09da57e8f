// The program's own files are never read as data: the end-to-end cases give
// names with .FAC and .BIN; every result extension counts, in any letter case.
#include "run/result_kinds.h"

#include <gtest/gtest.h>

namespace fuzzyart {
namespace {

TEST(ResultNames, EveryResultExtensionMarksAResultName) {
  for (const char* name : {"X.Faf", "dir/y.bkc.txt"}) EXPECT_TRUE(isResultName(name)) << name;
}

}  // namespace
}  // namespace fuzzyart
