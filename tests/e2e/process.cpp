#include "base/text.h"
#include "e2e/process.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "e2e/child_process.h"

extern char** environ;

namespace fuzzyart::testing {

std::vector<std::string> cleanEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    std::string name = asciiUpper(entry.substr(0, entry.find('=')));
    if (name == "FUZZYART" || name == "LANG" || name == "LANGUAGE" || name.rfind("LC_", 0) == 0) continue;
    env.push_back(entry);
  }
  env.push_back("LC_ALL=C");
  return env;
}

ProcessResult runProcess(const ProcessRequest& request) {
  ChildProcess child(ChildProcess::kPipes, request.program, request.workDir, request.args, request.env);
  child.finish();
  return {child.exitCode, child.killedBy, child.timedOut, child.out, child.console};
}

std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fuzzyart-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace fuzzyart::testing
