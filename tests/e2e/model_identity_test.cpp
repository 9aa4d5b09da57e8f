// What the model file is for: a learning run that saves its model, and a
// --model run over the same data file, give the same category of every row.
// Every end-to-end learning case that ends normally is run both ways, with
// its own switches, environment and data (complement coding, -X, -N, -I,
// several passes and several data files among them); the model is the last
// data file's, and so is the run that reads it.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/e2e_case.h"
#include "run/result_kinds.h"

namespace fuzzyart::testing {
namespace {

namespace fs = std::filesystem;

const std::string kCases = FUZZYART_TEST_DATA "/e2e";

// Cases that learn and end with exit code 0, data files named one by one.
std::vector<std::string> learningCases() {
  std::vector<std::string> cases;
  for (const auto& entry : fs::recursive_directory_iterator(kCases)) {
    const fs::path dir = entry.path().parent_path();
    if (entry.path().filename() != "args" || readFile(dir / "expect/exit") != "0\n") continue;
    if (!fs::exists(dir / "expect/files")) continue;  // every data file was skipped
    const std::vector<std::string> args = caseLines(entry.path(), "");
    if (std::none_of(args.begin(), args.end(), [](const std::string& a) {
          return a.starts_with('+') || a.starts_with("--") || a.find_first_of("*?") != std::string::npos;
        })) {
      cases.push_back(dir);
    }
  }
  std::sort(cases.begin(), cases.end());
  return cases;
}

class ModelIdentity : public ::testing::TestWithParam<std::string> {};

TEST_P(ModelIdentity, ModelRunRepeatsTheLearningRunsCategories) {
  const std::string caseDir = GetParam();
  TempDir temp;
  const std::string dir = temp.path;
  if (fs::exists(caseDir + "/in")) fs::copy(caseDir + "/in", dir, fs::copy_options::recursive);
  const std::vector<std::string> env = caseEnvironment(caseLines(caseDir + "/env", dir));
  if (!setUpCase(caseDir, dir)) GTEST_SKIP();
  ASSERT_FALSE(HasFailure());
  std::vector<std::string> args = caseLines(caseDir + "/args", dir);
  const std::string model = "--save-model=" + dir + "/identity.model";
  args.push_back(model);
  ChildProcess learning(ChildProcess::kPipes, FUZZYART_BINARY, dir, args, env);
  ASSERT_EQ(learning.finish().exitCode, 0) << learning.console;
  // Saving the model changes no other file.
  for (const auto& entry : fs::recursive_directory_iterator(caseDir + "/expect/files")) {
    const std::string rel = fs::relative(entry.path(), caseDir + "/expect/files");
    if (entry.is_regular_file()) {
      EXPECT_EQ(readFile(dir + "/" + rel), readFile(entry.path())) << rel;
    }
  }

  const auto last = std::find_if(args.rbegin(), args.rend(),
                                 [](const std::string& a) { return !a.starts_with('-') && !isResultName(a); });
  const std::string path = last->starts_with('/') ? *last : dir + "/" + *last;
  const std::string base = path.substr(0, path.find('.', path.rfind('/') + 1));
  // The categories of the rows, without the header line of a debug level;
  // and the prepared rows where the learning run left them beside the data.
  auto categories = [&] {
    std::string text = readFile(base + ".FAF");
    return text.starts_with('!') ? text.substr(text.find('\n') + 1) : text;
  };
  const std::string learnt = categories();
  const bool binBeside = fs::exists(base + ".BIN");
  const std::string rows = binBeside ? readFile(base + ".BIN") : "";
  ChildProcess recall(ChildProcess::kPipes, FUZZYART_BINARY, dir, {*last, "--model=" + dir + "/identity.model", "-Q"},
                      env);
  ASSERT_EQ(recall.finish().exitCode, 0) << recall.console;
  EXPECT_EQ(categories(), learnt);
  if (binBeside) {
    EXPECT_EQ(readFile(base + ".BIN"), rows);
  }
}

std::string caseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = fs::relative(info.param, kCases).string();
  std::replace_if(name.begin(), name.end(), [](char c) { return !isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(LearningCases, ModelIdentity, ::testing::ValuesIn(learningCases()), caseName);

}  // namespace
}  // namespace fuzzyart::testing
