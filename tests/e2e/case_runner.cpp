// The table-driven end-to-end runner: every directory under tests/data/e2e
// that holds an "args" file is one case (tests/data/e2e/README describes the
// format) and runs the real binary once. The variable FUZZYART_PROGRAM names
// another build of the program to run them against (the plain build, say); it
// runs under the name fuzzyart, from a copy in a temporary directory, since
// the name shows in its output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "e2e/e2e_case.h"

namespace fuzzyart::testing {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

const std::string kCases = FUZZYART_TEST_DATA "/e2e";
const char kCopyright[] = "\nCopyright (C) 2026 the fuzzyart developers.\n";

const std::string& program() {
  static const TempDir copy;
  static const std::string path = [] {
    const char* other = std::getenv("FUZZYART_PROGRAM");
    if (other == nullptr || *other == '\0') return std::string(FUZZYART_BINARY);
    if (finalPathComponent(other) == "fuzzyart") return std::string(other);
    fs::copy_file(other, copy.file("fuzzyart"));
    return copy.file("fuzzyart");
  }();
  return path;
}

// Regular files and symbolic links below root, by relative path, with the
// bytes of each regular file (a link is recorded by its target).
Files snapshot(const std::string& root) {
  Files files;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    // A link is named by itself, not by its target.
    const std::string rel = it->path().lexically_relative(root).string();
    if (it->is_symlink()) {
      files[rel] = "symlink:" + fs::read_symlink(it->path()).string();
      it.disable_recursion_pending();
    } else if (it->is_regular_file()) {
      files[rel] = readFile(it->path().string());
    }
  }
  return files;
}

// Whether the gathered switch text holds the letter C: switches on the command
// line (except -B and -X, which stand alone) and the environment variable.
bool switchTextHoldsC(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  std::string text;
  for (const auto& a : args) {
    // Long options ("--save-model=recall.model") are no switch letters.
    const std::string letter = a.starts_with('-') && !a.starts_with("--") ? asciiUpper(a.substr(1, 1)) : "B";
    if (letter != "B" && letter != "X") text += a.substr(1);
  }
  for (const auto& e : env) {
    if (asciiUpper(e.substr(0, e.find('='))) == "FUZZYART") text += e.substr(e.find('=') + 1);
  }
  return asciiUpper(text).find('C') != std::string::npos;
}

// The directory's path becomes "@DIR@", and the stopwatch line
// "\nElapsed time: <digits> s.\n" becomes "... N s.".
std::string normaliseConsole(std::string text, const std::string& dir) {
  text = replaceAll(text, dir, "@DIR@");
  const std::string head = "\nElapsed time: ";
  for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
    const size_t from = at + head.size();
    const size_t end = text.find_first_not_of("0123456789", from + (text[from] == '-'));
    if (end > from && end < text.size() && text.compare(end, 4, " s.\n") == 0) text.replace(from, end - from, "N");
  }
  return text;
}

// check.sh runs after the run, however the comparisons went (it may unmount
// what setup.sh mounted); its failure fails the case.
struct CheckAfterRun {
  std::string caseDir, dir;
  ~CheckAfterRun() {
    if (!fs::exists(caseDir + "/check.sh")) return;
    ChildProcess check(ChildProcess::kPipes, "/bin/sh", dir, {fs::absolute(caseDir + "/check.sh").string()},
                       scriptEnvironment(dir, caseDir));
    if (check.finish().exitCode != 0) ADD_FAILURE() << "check.sh failed: " << check.out << check.console;
  }
};

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, MatchesExpectedBytes) {
  const std::string caseDir = GetParam();
  const std::string expect = caseDir + "/expect/";
  TempDir temp;
  const std::string dir = temp.path;
  using enum fs::copy_options;
  if (fs::exists(caseDir + "/in")) fs::copy(caseDir + "/in", dir, recursive | copy_symlinks);
  if (!setUpCase(caseDir, dir)) GTEST_SKIP();
  ASSERT_FALSE(HasFailure());
  const CheckAfterRun check{caseDir, dir};
  const Files before = snapshot(dir);

  const std::vector<std::string> args = caseLines(caseDir + "/args", dir);
  const std::vector<std::string> caseEnv = caseLines(caseDir + "/env", dir);
  const std::vector<std::string> env = caseEnvironment(caseEnv);
  // A "shell" file holds commands that /bin/sh runs right before it becomes
  // the program: limits, closed descriptors.
  std::vector<std::string> argv = args;
  std::string binary = program();
  if (fs::exists(caseDir + "/shell")) {
    argv.insert(argv.begin(), {"-c", readFile(caseDir + "/shell") + "\nexec \"$0\" \"$@\"", binary});
    binary = "/bin/sh";
  }
  ChildProcess run(ChildProcess::kPipes, binary, dir, argv, env);
  run.finish();
  EXPECT_EQ(run.killedBy, 0) << "the program was ended by a signal (SIGKILL: after the time limit)";

  std::string err = normaliseConsole(run.console, dir);
  if (run.exitCode == 0 && !switchTextHoldsC(args, caseEnv)) {
    if (const size_t at = err.rfind(kCopyright); at != std::string::npos) err.erase(at, sizeof kCopyright - 1);
  }
  EXPECT_EQ(run.exitCode, std::stoi(readFile(expect + "exit")));
  for (const auto& [name, actual] : {std::pair{"stdout", normaliseConsole(run.out, dir)}, std::pair{"stderr", err}}) {
    EXPECT_EQ(fs::exists(expect + name) ? readFile(expect + name) : "", actual) << name;
  }

  // Every file a case expects, and every other file as it was before the run.
  Files wanted = before;
  if (fs::exists(expect + "files")) {
    for (const auto& entry : fs::recursive_directory_iterator(expect + "files")) {
      if (entry.is_regular_file()) {
        wanted[fs::relative(entry.path(), expect + "files").string()] =
            replaceAll(readFile(entry.path().string()), "@DIR@", dir);
      }
    }
  }
  const Files after = snapshot(dir);
  for (const auto& [rel, bytes] : wanted) EXPECT_EQ(bytes, after.count(rel) ? after.at(rel) : "(missing)") << rel;
  for (const auto& [rel, bytes] : after) EXPECT_TRUE(wanted.count(rel)) << "unexpected file " << rel;
}

std::vector<std::string> listCases() {
  std::vector<std::string> cases;
  for (const auto& entry : fs::recursive_directory_iterator(kCases)) {
    if (entry.is_regular_file() && entry.path().filename() == "args") cases.push_back(entry.path().parent_path());
  }
  std::sort(cases.begin(), cases.end());
  return cases;
}

std::string caseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = fs::relative(info.param, kCases).string();
  for (char& c : name) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(listCases()), caseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(EndToEnd);

}  // namespace
}  // namespace fuzzyart::testing
