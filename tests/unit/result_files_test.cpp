// The result files at their paths: the bytes in any locale and the load of
// them, whole files with the permission bits of those they replace, and files
// that cannot be loaded. (Python's identity tests hold the one-call load
// against the command line's recall.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <filesystem>
#include <functional>
#include <future>
#include <vector>

#include "e2e/child_process.h"
#include "fuzzyart/fuzzyart.h"

namespace fuzzyart {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

std::string errorOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

// Two variables with complement coding; ranges 0..1 and 10..30 bring the
// weights back to values that 6 digits hold exactly. Category 0's complement
// half is not 1 minus its first half, as learning can leave it.
const Scaling kScaling{.columnCount = 2, .columns = {0, 1}, .min = {0, 10}, .max = {1, 30}, .complementCoding = true};
const char kPlainFac[] = "0.25         20           \n0            12.5         \n";

Network storedNetwork() {
  Network network(NetworkParameters{.alpha = 0.25f}, 4);
  network.addCategory(std::vector<float>{0.25f, 0.5f, 0.5f, 0.25f});
  network.addCategory(std::vector<float>{0.0f, 0.125f, 1.0f, 0.875f});
  return network;
}

// LC_NUMERIC with a decimal comma, from a locale made with localedef; false
// when it cannot be made.
bool setCommaLocale(const TempDir& dir) {
  writeFile(dir.file("comma.src"), "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\nEND LC_NUMERIC\n");
  const std::string make = "localedef -c -i " + dir.file("comma.src") + " -f ANSI_X3.4-1968 " + dir.file("comma");
  if (std::system((make + " >/dev/null 2>&1").c_str()) == -1) return false;
  setenv("LOCPATH", dir.path.c_str(), 1);
  return std::setlocale(LC_NUMERIC, "comma") != nullptr;
}

// A process that set a decimal comma gets the bytes of any other, and files
// that load again: counts past 2^31 whole, the centre 0/0 of a category
// without rows as glibc prints it, a row without a category as 0.
TEST(ResultFiles, WrittenWholeInTheCLocaleAndLoadedAgain) {
  TempDir dir;
  if (!setCommaLocale(dir)) GTEST_SKIP() << "localedef cannot make a locale with a decimal comma";
  EXPECT_EQ(std::to_string(0.5), "0,500000");
  const Network network = storedNetwork();
  Tally tally(network, kScaling);
  tally.add(0, std::vector<float>{0.5f, 0.25f, 0.5f, 0.75f});
  saveCategoryFile(dir.file("D.FAC"), network, kScaling, std::vector<int64_t>{(int64_t{1} << 31) + 1, 0}, {1, "D"});
  saveCategoryFile(dir.file("plain.FAC"), network, kScaling, tally.counts());
  saveCentreFile(dir.file("D.BKC"), tally, kScaling);
  saveValueFile(dir.file("D.FAF"), std::vector<int>{0, -1});
  const std::string checked = errorOf([] { checkParameters(NetworkParameters{.vigilance = 1.25f}); });
  const StoredCategories loaded =
      loadCategoryFile(dir.file("plain.FAC"), {{0, 10}, {1, 30}}, "D", {.complementCoding = true, .columns = {}}, {});
  std::setlocale(LC_NUMERIC, "C");
  unsetenv("LOCPATH");

  EXPECT_EQ(readFile(dir.file("D.FAC")),
            "! Category/weightfile for datafile: D\n"
            "! No.of Iter:10 \xe0:0.250 \xe1:0.900 Vigilance:0.500 Itp:1.000 CompCode:Y\n"
            "Counts=2147483649 0.25         20           \nCounts=0      0            12.5         \n");
  EXPECT_EQ(readFile(dir.file("plain.FAC")), kPlainFac);
  EXPECT_EQ(readFile(dir.file("D.BKC")), "0.5          15           \n-NAN         -NAN         \n");
  EXPECT_EQ(readFile(dir.file("D.FAF")), "1\n0\n");
  EXPECT_EQ(checked, "The vigilance parameter must be between 0 and 1: Value=1.250\n");
  // The complement half comes back as 1 minus the stored half.
  EXPECT_EQ(loaded.network.weights(0), (std::vector<float>{0.25f, 0.5f, 0.75f, 0.5f}));
  EXPECT_EQ(loaded.network.weights(1), network.weights(1));
  EXPECT_EQ(loaded.network.classify(std::vector<float>{1, 1, 0, 0}), -1);  // no category matches half of it

  // A saved file replaces its name only whole, with the permission bits of
  // the file it replaces (the command line's files are tested for the umask
  // of a new one); a save that fails leaves the old file and no other.
  const std::string fac = dir.file("D.FAC");
  ASSERT_EQ(chmod(fac.c_str(), 0600), 0);
  saveCategoryFile(fac, network, kScaling, std::vector<int64_t>{3, 4});
  EXPECT_EQ(std::filesystem::status(fac).permissions(), std::filesystem::perms(0600));
  EXPECT_THROW(saveCategoryFile(fac, network, kScaling, std::vector<int64_t>{3}), Error);  // a count short
  EXPECT_THROW(saveCategoryFile(dir.path, network, kScaling, std::vector<int64_t>{3, 4}), Error);
  EXPECT_EQ(readFile(fac), kPlainFac);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 6);
}

// Only a regular file is read: a FIFO or a directory is refused at once with
// the message of a missing file, where opening a FIFO would wait for a writer
// that never comes.
TEST(ResultFiles, OnlyRegularFilesAreRead) {
  TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, dir.path}) {
    auto errors = std::async(std::launch::async, [&] {
      return errorOf([&] { readDataFile(path); }) + errorOf([&] { loadCategoryFile(path, {{0}, {1}}, "X", {}, {}); });
    });
    while (errors.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "a read of " << path << " waited";
      ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // lets a waiting open() go
    }
    EXPECT_EQ(errors.get(), "Can't find/open file: " + path + "\n\nCan't find/open file: " + path + "\n");
  }
}

}  // namespace
}  // namespace fuzzyart
