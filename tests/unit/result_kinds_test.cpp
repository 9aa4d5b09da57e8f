// The program's own files are never read as data: the end-to-end cases give
// names with .FAC and .BIN; every result extension counts, in any letter case.
// The committed kinds take their final names with the .FAC last, so that a
// stop between two renames never leaves a new .FAC beside an old .FAF.
#include "run/result_kinds.h"

#include <gtest/gtest.h>

namespace fuzzyart {
namespace {

TEST(ResultKinds, EveryResultExtensionMarksAResultName) {
  for (const char* name : {"X.Faf", "dir/y.bkc.txt"}) EXPECT_TRUE(isResultName(name)) << name;
}

TEST(ResultKinds, FacTakesItsNameLast) {
  using enum ResultKind;
  EXPECT_EQ(commitOrder(), (std::array<ResultKind, 4>{kValues, kCentres, kModel, kWeights}));
}

}  // namespace
}  // namespace fuzzyart
