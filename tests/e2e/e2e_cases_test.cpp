// Every case directory under tests/data/e2e runs the real binary once. The
// variable FUZZYART_PROGRAM names another build of the program to run them
// against (the plain build, say); it runs under the name fuzzyart, from a
// copy in a temporary directory, since the name shows in its output.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "base/text.h"
#include "e2e/case_runner.h"
#include "e2e/process.h"

namespace fuzzyart::testing {
namespace {

namespace fs = std::filesystem;

const std::string& program() {
  static std::unique_ptr<TempDir> copyDir;
  static const std::string path = [] {
    const char* other = std::getenv("FUZZYART_PROGRAM");
    if (other == nullptr || *other == '\0') return std::string(FUZZYART_BINARY);
    if (finalPathComponent(other) == "fuzzyart") return std::string(other);
    copyDir = std::make_unique<TempDir>();
    const std::string copy = copyDir->file("fuzzyart");
    fs::copy_file(other, copy);
    return copy;
  }();
  return path;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, MatchesExpectedBytes) {
  for (const auto& failure : runCase(GetParam(), program())) ADD_FAILURE() << failure;
}

std::string caseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string rel = fs::relative(info.param, FUZZYART_TEST_DATA "/e2e").string();
  for (char& c : rel) {
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return rel;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(listCases(FUZZYART_TEST_DATA "/e2e")), caseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(EndToEnd);

}  // namespace
}  // namespace fuzzyart::testing
