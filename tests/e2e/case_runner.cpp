#include "e2e/case_runner.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "base/text.h"
#include "e2e/process.h"

namespace fs = std::filesystem;

namespace fuzzyart::testing {

namespace {

const char kCopyright[] = "\nCopyright (C) 2026 the fuzzyart developers.\n";

std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(readFileBytes(path));
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
  return text;
}


std::string escape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\b') {
      out += "\\b";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 32 || c >= 127) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Regular files and symbolic links below root, by relative path, with the
// bytes of each regular file (a link is recorded by its target).
std::map<std::string, std::string> snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    std::string rel = it->path().lexically_relative(root).string();  // a link is named by itself, not its target
    if (it->is_symlink()) {
      files[rel] = "symlink:" + fs::read_symlink(it->path()).string();
      it.disable_recursion_pending();
    } else if (it->is_regular_file()) {
      files[rel] = readFileBytes(it->path().string());
    }
  }
  return files;
}

// Whether the gathered switch text holds the letter C: switches on the command
// line (except -B and -X, which stand alone) and the environment variable.
bool switchTextHoldsC(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  std::string text;
  for (const auto& a : args) {
    if (a.size() >= 1 && a[0] == '-') {
      char letter = a.size() > 1 ? static_cast<char>(toupper(static_cast<unsigned char>(a[1]))) : '\0';
      if (letter != 'B' && letter != 'X') text += a.substr(1);
    }
  }
  for (const auto& e : env) {
    if (asciiUpper(e.substr(0, e.find('='))) == "FUZZYART") text += e.substr(e.find('=') + 1);
  }
  return asciiUpper(text).find('C') != std::string::npos;
}

// The stopwatch line "\nElapsed time: <digits> s.\n" becomes "... N s.".
std::string normaliseConsole(std::string text, const std::string& dir) {
  text = replaceAll(text, dir, "@DIR@");
  const std::string head = "\nElapsed time: ";
  for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
    size_t digits = at + head.size();
    size_t end = digits;
    if (end < text.size() && text[end] == '-') ++end;
    while (end < text.size() && isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end > digits && text.compare(end, 4, " s.\n") == 0) text.replace(digits, end - digits, "N");
  }
  return text;
}

}  // namespace

std::string describeDifference(const std::string& what, const std::string& expected, const std::string& actual) {
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  size_t from = at > 60 ? at - 60 : 0;
  std::ostringstream s;
  s << what << " differs at byte " << at << " (expected " << expected.size() << " bytes, got " << actual.size()
    << ")\n  expected: ..." << escape(expected.substr(from, 160)) << "\n  actual:   ..." << escape(actual.substr(from, 160));
  return s.str();
}

std::vector<std::string> listCases(const std::string& root) {
  std::vector<std::string> cases;
  if (!fs::exists(root)) return cases;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.path().filename() == "args") {
      cases.push_back(entry.path().parent_path().string());
    }
  }
  std::sort(cases.begin(), cases.end());
  return cases;
}

std::vector<std::string> runCase(const std::string& caseDir, const std::string& binary) {
  std::vector<std::string> failures;
  TempDir temp;
  const std::string dir = temp.path();

  if (fs::exists(caseDir + "/in")) {
    fs::copy(caseDir + "/in", dir, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }
  std::vector<std::string> caseEnv;
  if (fs::exists(caseDir + "/env")) {
    for (auto& line : readLines(caseDir + "/env")) caseEnv.push_back(replaceAll(line, "@DIR@", dir));
  }
  if (fs::exists(caseDir + "/setup.sh")) {
    ProcessRequest setup;
    setup.program = "/bin/sh";
    setup.args = {fs::absolute(caseDir + "/setup.sh").string()};
    setup.env = cleanEnvironment();
    setup.env.push_back("DIR=" + dir);
    setup.env.push_back("CASE=" + fs::absolute(caseDir).string());
    setup.workDir = dir;
    ProcessResult r = runProcess(setup);
    if (r.exitCode != 0) return {"setup.sh failed: " + r.err};
  }
  const auto before = snapshot(dir);

  ProcessRequest request;
  request.program = binary;
  for (auto& line : readLines(caseDir + "/args")) request.args.push_back(replaceAll(line, "@DIR@", dir));
  request.env = cleanEnvironment();
  // A case's variable replaces one of the same name (LC_ALL among them).
  for (const auto& entry : caseEnv) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    std::erase_if(request.env, [&](const std::string& e) { return e.compare(0, name.size(), name) == 0; });
    request.env.push_back(entry);
  }
  request.workDir = dir;
  ProcessResult result = runProcess(request);

  if (result.timedOut) failures.push_back("the program did not end within the time limit");
  if (result.signal != 0) failures.push_back("the program was ended by signal " + std::to_string(result.signal));

  std::string err = normaliseConsole(result.err, dir);
  std::string out = normaliseConsole(result.out, dir);
  if (result.exitCode == 0 && !switchTextHoldsC(request.args, caseEnv)) {
    size_t at = err.rfind(kCopyright);
    if (at != std::string::npos) err.erase(at, sizeof kCopyright - 1);
  }

  const std::string expectDir = caseDir + "/expect";
  int expectedExit = std::stoi(readFileBytes(expectDir + "/exit"));
  if (result.exitCode != expectedExit) {
    failures.push_back("exit code " + std::to_string(result.exitCode) + ", expected " + std::to_string(expectedExit));
  }
  auto expectedText = [&](const std::string& name) {
    std::string path = expectDir + "/" + name;
    return fs::exists(path) ? readFileBytes(path) : std::string();
  };
  if (std::string e = expectedText("stdout"); e != out) failures.push_back(describeDifference("stdout", e, out));
  if (std::string e = expectedText("stderr"); e != err) failures.push_back(describeDifference("stderr", e, err));

  const auto after = snapshot(dir);
  std::map<std::string, std::string> expectedFiles;
  if (fs::exists(expectDir + "/files")) {
    for (const auto& entry : fs::recursive_directory_iterator(expectDir + "/files")) {
      if (!entry.is_regular_file()) continue;
      std::string rel = fs::relative(entry.path(), expectDir + "/files").string();
      expectedFiles[rel] = replaceAll(readFileBytes(entry.path().string()), "@DIR@", dir);
    }
  }
  for (const auto& [rel, bytes] : after) {
    if (auto e = expectedFiles.find(rel); e != expectedFiles.end()) {
      if (e->second != bytes) failures.push_back(describeDifference("file " + rel, e->second, bytes));
    } else if (auto b = before.find(rel); b != before.end()) {
      if (b->second != bytes) failures.push_back("input file " + rel + " was changed");
    } else {
      failures.push_back("unexpected file " + rel);
    }
  }
  for (const auto& [rel, bytes] : expectedFiles) {
    if (!after.count(rel)) failures.push_back("missing file " + rel);
  }
  for (const auto& [rel, bytes] : before) {
    if (!after.count(rel) && !expectedFiles.count(rel)) failures.push_back("input file " + rel + " was removed");
  }
  return failures;
}

}  // namespace fuzzyart::testing
