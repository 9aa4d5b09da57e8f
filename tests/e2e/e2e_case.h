// What the tests that run the end-to-end cases (tests/data/e2e/README) share:
// the files of a case, its environment, and its setup.sh.
#pragma once

#include <gtest/gtest.h>

#include <sstream>

#include "e2e/child_process.h"

namespace fuzzyart::testing {

inline std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The lines of a case's file (none when it is missing), "@DIR@" replaced by dir.
inline std::vector<std::string> caseLines(const std::string& path, const std::string& dir) {
  std::vector<std::string> out;
  std::istringstream in(std::filesystem::exists(path) ? readFile(path) : "");
  for (std::string line; std::getline(in, line);) out.push_back(replaceAll(line, "@DIR@", dir));
  return out;
}

// The run's environment: a case's variable replaces one of the same name
// (LC_ALL among them).
inline std::vector<std::string> caseEnvironment(const std::vector<std::string>& caseEnv) {
  std::vector<std::string> env = cleanEnvironment();
  for (const auto& entry : caseEnv) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    std::erase_if(env, [&](const std::string& e) { return e.starts_with(name); });
    env.push_back(entry);
  }
  return env;
}

// setup.sh and check.sh run with DIR and CASE.
inline std::vector<std::string> scriptEnvironment(const std::string& dir, const std::string& caseDir) {
  std::vector<std::string> env = cleanEnvironment();
  env.insert(env.end(), {"DIR=" + dir, "CASE=" + std::filesystem::absolute(caseDir).string()});
  return env;
}

// Runs the case's setup.sh, if it has one, in dir; false when it exits with
// 77, the machine cannot make what the case needs (its output says why).
inline bool setUpCase(const std::string& caseDir, const std::string& dir) {
  if (!std::filesystem::exists(caseDir + "/setup.sh")) return true;
  ChildProcess setup(ChildProcess::kPipes, "/bin/sh", dir,
                     {std::filesystem::absolute(caseDir + "/setup.sh").string()}, scriptEnvironment(dir, caseDir));
  if (setup.finish().exitCode == 77) {
    std::cout << setup.out;
    return false;
  }
  EXPECT_EQ(setup.exitCode, 0) << "setup.sh failed: " << setup.console;
  return true;
}

}  // namespace fuzzyart::testing
