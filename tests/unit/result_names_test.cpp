// Names of the result and temporary files, and the test that keeps the
// program's own files from being read as data.
#include "run/result_names.h"

#include <gtest/gtest.h>

namespace fuzzyart {
namespace {

TEST(ResultNames, ExtensionReplacesFromTheFirstDotOfTheFinalComponent) {
  EXPECT_EQ(replaceExtension("TFILE.DAT", ".FAC"), "TFILE.FAC");
  EXPECT_EQ(replaceExtension("DATA", ".FAF"), "DATA.FAF");
  EXPECT_EQ(replaceExtension("A.B.DAT", ".FAC"), "A.FAC");
  EXPECT_EQ(replaceExtension("DIR/DATA.TXT", ".BKC"), "DIR/DATA.BKC");
  // A "." in a directory name never cuts the name.
  EXPECT_EQ(replaceExtension("DIR.V2/DATA", ".FAC"), "DIR.V2/DATA.FAC");
  EXPECT_EQ(replaceExtension("./DATA", ".FAC"), "./DATA.FAC");
  EXPECT_EQ(replaceExtension("/home/a.b/SUB/X.Y.DAT", ".FAF"), "/home/a.b/SUB/X.FAF");
}

TEST(ResultNames, TemporaryNameJoinsOnlyTheFinalComponentToTheTemporaryPath) {
  EXPECT_EQ(temporaryName("DIR/DATA.TXT", ""), "DIR/DATA.BIN");
  EXPECT_EQ(temporaryName("DATA", ""), "DATA.BIN");
  EXPECT_EQ(temporaryName("DIR/DATA.TXT", "/tmp/"), "/tmp/DATA.BIN");
  EXPECT_EQ(temporaryName("D.1/A.B.DAT", "T/"), "T/A.BIN");
  EXPECT_EQ(temporaryName("../DATA", "/"), "/DATA.BIN");
}

TEST(ResultNames, ResultExtensionAnywhereInAnyLetterCaseMarksAResultName) {
  for (const char* name : {"X.FAC", "x.fac", "X.Faf", "dir/y.bin", "Y.BkC", "X.FACTS", "OUT.bin/DATA"}) {
    EXPECT_TRUE(isResultName(name)) << name;
  }
  for (const char* name : {"X.DAT", "FAC.DAT", "X.FA", "XFAC", "DATA.BI"}) {
    EXPECT_FALSE(isResultName(name)) << name;
  }
}

}  // namespace
}  // namespace fuzzyart
