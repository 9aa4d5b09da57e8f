// Runs the real fuzzyart binary as a child process and collects what it left:
// its exit status and both output streams, byte for byte.
#pragma once

#include <string>
#include <vector>

namespace fuzzyart::testing {

struct ProcessResult {
  int exitCode = -1;     // the child's exit code, or -1 when it did not exit normally
  int signal = 0;        // the signal that ended the child, 0 when it exited
  bool timedOut = false; // killed after the time limit
  std::string out;       // standard output
  std::string err;       // standard error
};

struct ProcessRequest {
  std::string program;
  std::vector<std::string> args;  // without argv[0]
  std::vector<std::string> env;   // the whole environment, NAME=VALUE
  std::string workDir;
};

ProcessResult runProcess(const ProcessRequest& request);

// The current environment without any variable whose name is FUZZYART in any
// letter case and without LC_*/LANG, with LC_ALL=C added.
std::vector<std::string> cleanEnvironment();

std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace fuzzyart::testing
