// The model file through the public face: networks saved and loaded to the
// bit, bad files refused with the line at fault, models no file can hold
// refused before anything is written, and the reader's limits.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "e2e/child_process.h"
#include "fuzzyart/fuzzyart.h"
#include "results/model_reader.h"

namespace fuzzyart {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

std::string bitsOf(std::span<const float> values) {
  return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(float));
}

// The error of the work (its kind must be kind), or "no error".
std::string errorOf(ErrorKind kind, const std::function<void()>& work) {
  try {
    work();
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), kind) << e.what();
    return e.what();
  }
  return "no error";
}

Model learnt(const ScalingOptions& options, const NetworkParameters& parameters) {
  const std::string path = FUZZYART_EXAMPLES "/wine.dat";
  const RowTable table = readDataFile(path);
  Model model;
  model.scaling = makeScaling(measureRanges(table.values, table.columns, options.normalise, path), options, path);
  std::vector<float> rows(static_cast<size_t>(table.rows * model.scaling.inputLength()));
  prepareRows(model.scaling, table.values, rows, false, path);
  MemoryRows source(rows, static_cast<size_t>(model.scaling.inputLength()));
  model.network = Network(parameters, model.scaling.inputLength());
  model.network.learn(source);
  model.counts.assign(static_cast<size_t>(model.network.categoryCount()), 0);
  model.network.classify(source, [&](int64_t, int category, std::span<const float>) {
    if (category >= 0) ++model.counts[static_cast<size_t>(category)];
  });
  return model;
}

// Complement coding with both halves learnt apart; a column selection with
// rows divided by their sums and Beta above 1, which drives weights below
// 0; values at the edges of single precision. Each model comes back bit for
// bit, classifies as before, and is written again byte for byte; the file
// it replaces keeps its permission bits.
TEST(ModelFile, SavedAndLoadedToTheBit) {
  std::vector<Model> models;
  models.push_back(learnt({.complementCoding = true, .columns = {}},
                          {.iterations = 3, .beta = 0.3f, .vigilance = 0.8f, .itp = 0.7f}));
  models.push_back(learnt({.normalise = true, .columns = {0, 2, 5, 12}},
                          {.iterations = 2, .beta = 1.5f, .alpha = 0.001f, .vigilance = 0.9f, .itp = 1.3f}));
  Model edges;
  edges.scaling = {.columnCount = 3, .columns = {0, 2}, .min = {-3.4028235e38f, 1e-45f}, .max = {3.4028235e38f, 1},
                   .complementCoding = true};
  edges.network = Network({.maxCategories = 5000}, 4);
  edges.network.addCategory(std::vector<float>{-0.0f, 1e-45f, 1.0f, -1.17549435e-38f});
  edges.network.resumeLearning(0.0f, 12);
  models.push_back(std::move(edges));
  bool negativeWeight = false;

  TempDir dir;
  const std::string path = dir.file("m.model");
  for (const Model& model : models) {
    writeFile(path, "old");
    chmod(path.c_str(), 0640);
    saveModel(path, model);
    const std::string text = readFile(path);
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    const Model back = loadModel(path);
    const Scaling& s = model.scaling;
    EXPECT_TRUE(back.scaling.columnCount == s.columnCount && back.scaling.columns == s.columns &&
                back.scaling.normalise == s.normalise && back.scaling.complementCoding == s.complementCoding);
    EXPECT_EQ(bitsOf(back.scaling.min) + bitsOf(back.scaling.max), bitsOf(s.min) + bitsOf(s.max));
    const NetworkParameters& p = model.network.parameters();
    const NetworkParameters& q = back.network.parameters();
    const std::vector<float> before = {p.alpha, p.beta, p.vigilance, p.itp, model.network.currentBeta()};
    EXPECT_EQ(bitsOf(std::vector<float>{q.alpha, q.beta, q.vigilance, q.itp, back.network.currentBeta()}),
              bitsOf(before));
    EXPECT_TRUE(q.iterations == p.iterations && q.maxCategories == p.maxCategories &&
                back.network.passes() == model.network.passes());
    ASSERT_EQ(back.network.categoryCount(), model.network.categoryCount());
    EXPECT_EQ(back.counts, model.counts.empty() ? std::vector<int64_t>(1, 0) : model.counts);
    for (int c = 0; c < model.network.categoryCount(); ++c) {
      const std::vector<float> w = model.network.weights(c);
      EXPECT_EQ(bitsOf(back.network.weights(c)), bitsOf(w)) << c;
      negativeWeight = negativeWeight || *std::min_element(w.begin(), w.end()) < 0;
      EXPECT_EQ(back.network.classify(w), model.network.classify(w));
    }
    saveModel(path, back);
    EXPECT_EQ(readFile(path), text);
  }
  EXPECT_TRUE(negativeWeight);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 1);
}

// A model that no file could hold is refused before the file is made.
TEST(ModelFile, ModelNoFileCanHoldIsNotWritten) {
  TempDir dir;
  const std::string path = dir.file("m.model");
  Model good;
  good.scaling = {.columnCount = 2, .columns = {0, 1}, .min = {0, 0}, .max = {1, 1}};
  good.network = Network({}, 2);
  good.network.addCategory(std::vector<float>{0.5f, 1.0f});
  const std::pair<std::function<void(Model&)>, std::string> faults[] = {
      {[](Model& m) { m.network = Network({.vigilance = 2}, 2); }, "vigilance 2 is not between 0 and 1"},
      {[](Model& m) { m.network.addCategory(std::vector<float>{0.5f, 1.5f}); }, "category 2: weight 2, 1.5, is above 1"},
      {[](Model& m) { m.counts = {1, 2}; }, "2 counts for 1 categories"},
      {[](Model& m) { m.scaling.max[1] = 0; }, "max 0 of used column 2 is not above its min 0"},
  };
  for (const auto& [change, info] : faults) {
    Model model = good;
    change(model);
    EXPECT_EQ(errorOf(ErrorKind::kBadModelFile, [&] { saveModel(path, model); }),
              "Can't write modelfile: " + path + "\nINFO: " + info + "\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
  }
}

const char* const kGood[] = {
    "fuzzyart-model 1", "kind fuzzyart", "columns 3", "normalise no", "complement no", "used 1 3", "min 0 -2",
    "max 1 2", "alpha 0", "beta 0.9", "next-beta 0.9", "vigilance 0.5", "itp 1", "iterations 10", "passes 10",
    "max-categories 1024", "categories 2", "5 0.5 0.25", "0 1 -0.5", "end"};

// Line `line` (from 1) of the good file replaced by `text`; "-" removes it.
std::string goodWith(int line, const std::string& text, const char* feed = "\n") {
  std::string out;
  for (int k = 1; k <= 20; ++k) {
    const std::string original = kGood[k - 1];
    if (k != line || text != "-") out += (k == line ? text : original) + feed;
  }
  return out;
}

// Every kind of fault, with the line it is on and what it is.
TEST(ModelFile, BadFileTellsLineAndFault) {
  TempDir dir;
  const std::string path = dir.file("bad.model");
  const std::string longLine = "5 " + std::string(size_t{1} << 21, '0');
  const struct {
    std::string bytes;
    const char* info;
  } bad[] = {
      {"", "Line 1: the file is empty"},
      {goodWith(1, "fuzzyart-model 2"), "Line 1: version \"2\" is not known (this program reads version 1)"},
      {goodWith(1, "3 4 5"), "Line 1: not a fuzzyart model file"},
      {goodWith(2, "kind artmap"), "Line 2: kind \"artmap\" is not known (this program reads fuzzyart)"},
      {goodWith(3, "columns 0"), "Line 3: columns 0 is not between 1 and 8192"},
      {goodWith(4, "normalize no"), "Line 4: normalise expected"},
      {goodWith(5, "complement maybe"), "Line 5: \"maybe\" is not yes or no"},
      {goodWith(6, "used 3 1"), "Line 6: the used columns are not in ascending order"},
      {goodWith(6, "used 1 4"), "Line 6: used column 4 is not between 1 and 3"},
      {goodWith(7, "min 0"), "Line 7: values after min: 1, expected 2"},
      {goodWith(7, "min 0 0x1"), "Line 7: \"0x1\" is not a number of single precision"},
      {goodWith(8, "max 1 1e39"), "Line 8: \"1e39\" is not a number of single precision"},
      {goodWith(8, "max inf 2"), "Line 8: value 1 is not a finite number"},
      {goodWith(8, "max 1 -2"), "Line 8: max -2 of used column 2 is not above its min -2"},
      {goodWith(9, "alpha nan"), "Line 9: alpha is not a finite number"},
      {goodWith(10, "beta 0"), "Line 10: beta 0 is not above 0"},
      {goodWith(12, "vigilance 1.5"), "Line 12: vigilance 1.5 is not between 0 and 1"},
      {goodWith(13, "itp 2.5"), "Line 13: itp 2.5 is not above 0 and at most 2"},
      {goodWith(14, "iterations 1.5"), "Line 14: \"1.5\" is not a whole number"},
      {goodWith(17, "categories 1025"), "Line 17: categories 1025 is not between 0 and max-categories 1024"},
      {goodWith(17, "categories 3"), "Line 20: end after 2 categories, expected 3"},
      {goodWith(18, "-1 0.5 0.25"), "Line 18: count -1 is below 0"},
      {goodWith(18, "5 0.5 1.0000001"), "Line 18: weight 2, 1.0000001, is above 1"},
      {goodWith(19, "0 1"), "Line 19: values of a category: 2, expected 3 (its count and 2 weights)"},
      {goodWith(19, longLine), "Line 19: the line is longer than 1048576 bytes"},
      {goodWith(20, "-"), "Line 20: the file ends here: end expected"},
      {goodWith(20, "stop"), "Line 20: end expected"},
      {goodWith(20, "end\nend"), "Line 21: text after the end line"},
      {goodWith(0, "").substr(0, goodWith(0, "").find("-0.5") + 1),
       "Line 19: \"-\" is not a number of single precision (the file ends within the line)"},
  };
  for (const auto& [bytes, info] : bad) {
    writeFile(path, bytes);
    EXPECT_EQ(errorOf(ErrorKind::kBadModelFile, [&] { loadModel(path); }),
              "Bad modelfile: " + path + "\nINFO: " + info + "\n");
  }
  // Lines ended by CR LF, fields apart by tabs and blanks, no last line feed.
  std::string relaxed = goodWith(18, "5\t0.5  0.25", "\r\n");
  writeFile(path, relaxed.substr(0, relaxed.size() - 2));
  EXPECT_EQ(loadModel(path).network.weights(0), (std::vector<float>{0.5f, 0.25f}));
}

// Only a regular file is opened, only the bytes it held when it was opened
// are read, and a huge file is refused at its first line.
TEST(ModelFile, ReaderStaysWithinTheFile) {
  TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge = dir.file("huge");
  writeFile(huge, "");
  ASSERT_EQ(truncate(huge.c_str(), off_t{1} << 34), 0);  // 16 GiB, sparse
  const std::pair<std::string, const char*> files[] = {
      {dir.file("none"), "Line 0: no such file"},
      {dir.path, "Line 0: not a regular file"},
      {fifo, "Line 0: not a regular file"},
      {huge, "Line 1: the line is longer than 1048576 bytes"},
  };
  for (const auto& [path, info] : files) {
    EXPECT_EQ(errorOf(ErrorKind::kBadModelFile, [&] { loadModel(path); }),
              "Bad modelfile: " + path + "\nINFO: " + info + "\n");
  }
  const std::string grown = dir.file("grown");
  writeFile(grown, goodWith(0, ""));
  const int fd = open(grown.c_str(), O_RDONLY);
  ModelLines lines(fd, std::filesystem::file_size(grown));
  std::ofstream(grown, std::ios::app) << "more lines\n";
  EXPECT_EQ(readModel(lines, grown).network.categoryCount(), 2);
  close(fd);
}

}  // namespace
}  // namespace fuzzyart
