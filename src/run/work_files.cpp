#include "run/work_files.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "run/console.h"

namespace fuzzyart {

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

namespace {

void keepCategoryFileIfCreated(WorkFiles& files, const RunSettings& settings, const std::string& nameToCreate) {
  if (!settings.recall || files.categoryCopy != nullptr) return;
  if (!sameFile(nameToCreate, settings.categoryFile)) return;
  std::ifstream in(settings.categoryFile, std::ios::binary);
  if (!in) return;  // opening it later fails with its own message
  std::ostringstream bytes;
  bytes << in.rdbuf();
  files.categoryCopy = std::make_shared<const std::string>(bytes.str());
  // A stream already open on the file would read the emptied file from now on.
  if (files.categoryStream.isOpen()) files.categoryStream.openMemory(settings.categoryFile, files.categoryCopy);
}

}  // namespace

void beforeCreating(WorkFiles& files, const RunSettings& settings, const std::string& nameToCreate) {
  keepCategoryFileIfCreated(files, settings, nameToCreate);
}

void refuseDataFile(const WorkFiles& files, const std::string& nameToCreate) {
  if (sameFile(nameToCreate, files.dataName)) panic("Can't create file: %s\n\n", nameToCreate.c_str());
}

bool openCategoryStream(WorkFiles& files, const RunSettings& settings) {
  if (files.categoryCopy != nullptr) {
    files.categoryStream.openMemory(settings.categoryFile, files.categoryCopy);
    return true;
  }
  struct stat info {};
  if (stat(settings.categoryFile.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return files.categoryStream.open(settings.categoryFile);
}

void closeAllStreams(WorkFiles& files) {
  files.dataStream.close();
  files.preparedRows.close();
  files.tempStream.discard();
  files.weightStream.discard();
  files.valueStream.discard();
  files.categoryStream.close();
  files.centreStream.discard();
}

}  // namespace fuzzyart
