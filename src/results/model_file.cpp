// The model file by path: saveModel and loadModel of the public face.
#include "fuzzyart/model_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/failure.h"
#include "base/output_file.h"
#include "results/model_reader.h"
#include "results/model_writer.h"

namespace fuzzyart {

namespace {

[[noreturn]] void failFile(const std::string& path, const char* what) {
  fail(ErrorKind::kBadModelFile, "Bad modelfile: %s\nINFO: Line 0: %s\n", path.c_str(), what);
}

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

template <typename Write>
void save(const std::string& path, const Write& write) {
  OutputFile file;
  if (!file.createReplacing(path)) fail(ErrorKind::kFileAccess, "Can't create file: %s\n\n", path.c_str());
  // A stop on the way leaves the hidden file to the OutputFile, which removes it.
  write(file);
  if (!file.close() || !file.commit()) failDiskFull();
}

template <typename Read>
auto load(const std::string& path, const Read& read) {
  // Only a regular file is opened: opening a FIFO would wait for a writer,
  // and a device or a directory holds no model.
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) failFile(path, errno == ENOENT ? "no such file" : "the file cannot be found");
  if (!S_ISREG(info.st_mode)) failFile(path, "not a regular file");
  // Without blocking, should the name have become a FIFO since.
  const Descriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
  if (file.fd < 0) failFile(path, "the file cannot be opened");
  struct stat opened {};
  if (fstat(file.fd, &opened) != 0 || !S_ISREG(opened.st_mode)) failFile(path, "not a regular file");
  ModelLines lines(file.fd, static_cast<uint64_t>(opened.st_size));
  return read(lines);
}

}  // namespace

void saveModel(const std::string& path, const Model& model) {
  save(path, [&](OutputFile& file) { writeModel(file, path, model.scaling, model.network, model.counts); });
}

Model loadModel(const std::string& path) {
  return load(path, [&](ModelLines& lines) { return readModel(lines, path); });
}

void saveSupervisedModel(const std::string& path, const SupervisedModel& model) {
  save(path, [&](OutputFile& file) { writeSupervisedModel(file, path, model); });
}

SupervisedModel loadSupervisedModel(const std::string& path) {
  return load(path, [&](ModelLines& lines) { return readSupervisedModel(lines, path); });
}

}  // namespace fuzzyart
