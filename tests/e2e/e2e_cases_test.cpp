// Every case directory under tests/data/e2e runs the real binary once.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/case_runner.h"

namespace fuzzyart::testing {
namespace {

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, MatchesExpectedBytes) {
  for (const auto& failure : runCase(GetParam(), FUZZYART_BINARY)) ADD_FAILURE() << failure;
}

std::string caseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string rel = std::filesystem::relative(info.param, FUZZYART_TEST_DATA "/e2e").string();
  for (char& c : rel) {
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return rel;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(listCases(FUZZYART_TEST_DATA "/e2e")), caseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(EndToEnd);

}  // namespace
}  // namespace fuzzyart::testing
