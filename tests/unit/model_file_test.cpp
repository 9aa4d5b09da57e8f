// The model file through the public face: networks saved and loaded to the
// bit, bad files refused with the line at fault, models no file can hold
// refused before anything is written, and the reader's limits.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "e2e/e2e_case.h"
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

// Every field of a model, floats by their bits.
std::string fieldsOf(const Model& m) {
  const Scaling& s = m.scaling;
  const NetworkParameters& p = m.network.parameters();
  std::ostringstream out;
  out << s.columnCount << s.normalise << s.complementCoding << p.iterations << ' ' << p.maxCategories << ' '
      << m.network.passes() << ' ' << m.network.categoryCount() << bitsOf(s.min) << bitsOf(s.max)
      << bitsOf(std::vector<float>{p.alpha, p.beta, p.vigilance, p.itp, m.network.currentBeta()});
  for (int column : s.columns) out << ' ' << column;
  for (int c = 0; c < m.network.categoryCount(); ++c) {
    out << ' ' << (m.counts.empty() ? 0 : m.counts[static_cast<size_t>(c)]) << bitsOf(m.network.weights(c));
  }
  return out.str();
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
    EXPECT_EQ(fieldsOf(back), fieldsOf(model));
    for (int c = 0; c < model.network.categoryCount(); ++c) {
      const std::vector<float> w = model.network.weights(c);
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
      {[](Model& m) { m.network.addCategory(std::vector<float>{0.5f, 1.5f}); },
       "category 2: weight 2, 1.5, is above 1"},
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

const std::string kModelFiles = FUZZYART_TEST_DATA "/model_files/";

// The lines of good.model with line `line` (from 1) replaced by `text`
// ("-" removes it), each ended by `feed`.
std::string goodWith(size_t line, const std::string& text, const std::string& feed = "\n") {
  std::istringstream in(readFile(kModelFiles + "good.model"));
  std::string out;
  size_t k = 0;
  for (std::string original; std::getline(in, original);) {
    if (++k != line || text != "-") out += (k == line ? testing::replaceAll(text, "\\n", "\n") : original) + feed;
  }
  return out;
}

// Every kind of fault, with the line it is on and what it is: the table of
// model_files/bad_lines, and what a table cannot hold.
TEST(ModelFile, BadFileTellsLineAndFault) {
  const std::string good = goodWith(0, "");
  std::vector<std::pair<std::string, std::string>> bad = {
      {"", "Line 1: the file is empty"},
      {goodWith(19, "5 " + std::string(size_t{1} << 21, '0')), "Line 19: the line is longer than 1048576 bytes"},
      {good.substr(0, good.find("-0.5") + 1),
       "Line 19: \"-\" is not a number of single precision (the file ends within the line)"}};
  std::istringstream table(readFile(kModelFiles + "bad_lines"));
  for (std::string row; std::getline(table, row);) {
    const size_t text = row.find('\t') + 1, info = row.find('\t', text) + 1;
    if (row.starts_with('#')) continue;
    bad.emplace_back(goodWith(std::stoul(row), row.substr(text, info - 1 - text)), row.substr(info));
  }
  TempDir dir;
  const std::string path = dir.file("bad.model");
  for (const auto& [bytes, info] : bad) {
    writeFile(path, bytes);
    EXPECT_EQ(errorOf(ErrorKind::kBadModelFile, [&] { loadModel(path); }),
              "Bad modelfile: " + path + "\nINFO: " + info + "\n");
  }
  // Lines ended by CR LF, fields apart by tabs and blanks, no last line feed.
  const std::string relaxed = goodWith(18, "5\t0.5  0.25", "\r\n");
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

namespace fuzzyart {
namespace {

SupervisedModel supervisedWine(MatchTracking tracking, bool complement) {
  const std::string path = FUZZYART_EXAMPLES "/wine.dat";
  const RowTable table = readDataFile(path);
  SupervisedModel model;
  model.scaling = makeScaling(measureRanges(table.values, table.columns, false, path),
                              {.complementCoding = complement, .columns = {}}, path);
  std::vector<float> rows(static_cast<size_t>(table.rows * model.scaling.inputLength()));
  prepareRows(model.scaling, table.values, rows, false, path);
  MemoryRows source(rows, static_cast<size_t>(model.scaling.inputLength()));
  std::vector<int32_t> labels;
  std::ifstream in(FUZZYART_EXAMPLES "/wine.labels");
  for (int32_t label = 0; in >> label;) labels.push_back(label);
  model.network = SupervisedNetwork(
      {.iterations = 2, .beta = 0.5f, .vigilance = 0.6f, .itp = 0.9f, .epsilon = 0.001000000000001, .matchTracking = tracking}, model.scaling.inputLength());
  model.network.learn(source, labels);
  model.counts.assign(static_cast<size_t>(model.network.categoryCount()), 7);
  return model;
}

std::string fieldsOf(const SupervisedModel& m) {
  const SupervisedParameters& p = m.network.parameters();
  std::ostringstream out;
  out << static_cast<int>(m.classKind) << static_cast<int>(p.matchTracking) << ' ' << std::hexfloat << p.epsilon << ' '
      << p.iterations << ' ' << p.maxCategories << ' ' << m.network.passes() << bitsOf(m.scaling.min)
      << bitsOf(m.scaling.max) << bitsOf(std::vector<float>{p.alpha, p.beta, p.vigilance, p.itp, m.network.currentBeta()});
  for (const std::string& c : m.classes) out << '|' << c;
  for (int c = 0; c < m.network.categoryCount(); ++c) {
    out << ' ' << m.counts[static_cast<size_t>(c)] << ' ' << m.network.label(c) << bitsOf(m.network.weights(c));
  }
  return out.str();
}

// Both kinds of classes, each tracking; class texts of every awkward byte.
// Each model comes back to the bit and is written again byte for byte.
TEST(SupervisedModelFile, SavedAndLoadedToTheBit) {
  TempDir dir;
  const std::string path = dir.file("m.model");
  SupervisedModel text = supervisedWine(MatchTracking::kMinus, true);
  text.classKind = ClassKind::kText;
  text.classes = {"", "a b%\t\n", std::string("\xc3\xa9\0\x7f", 4)};
  SupervisedModel whole = supervisedWine(MatchTracking::kZero, false);
  whole.classes = {"-9223372036854775808", "7", "12"};
  for (const SupervisedModel* model : {&text, &whole}) {
    saveSupervisedModel(path, *model);
    const std::string bytes = readFile(path);
    const SupervisedModel back = loadSupervisedModel(path);
    EXPECT_EQ(fieldsOf(back), fieldsOf(*model));
    saveSupervisedModel(path, back);
    EXPECT_EQ(readFile(path), bytes);
  }
  EXPECT_NE(readFile(path).find("\nclasses whole 3 -9223372036854775808 7 12\n"), std::string::npos);
  saveSupervisedModel(path, text);
  EXPECT_NE(readFile(path).find("\nclasses text 3 % a%20b%25%09%0A %C3%A9%00%7F\ncategories "), std::string::npos);
}

// Neither loader takes the other kind; a supervised file's own faults name
// their line, and the writer refuses what the reader would.
TEST(SupervisedModelFile, KindsAndFaults) {
  TempDir dir;
  const std::string path = dir.file("m.model");
  writeFile(path, goodWith(0, ""));
  EXPECT_EQ(errorOf(ErrorKind::kBadModelFile, [&] { loadSupervisedModel(path); }),
            "Bad modelfile: " + path + "\nINFO: Line 2: a Fuzzy ART model (kind fuzzyart) without class labels, not "
            "a supervised model (kind fuzzyartmap)\n");
  SupervisedModel model = supervisedWine(MatchTracking::kPlus, true);
  model.classes = {"0", "1", "2"};
  saveSupervisedModel(path, model);
  EXPECT_EQ(errorOf(ErrorKind::kBadModelFile, [&] { loadModel(path); }),
            "Bad modelfile: " + path + "\nINFO: Line 2: a supervised model (kind fuzzyartmap), not a Fuzzy ART "
            "model (kind fuzzyart)\n");
  const std::string good = readFile(path);
  const size_t category = good.find("\ncategories ") + 1;
  const size_t label = good.find(' ', good.find('\n', category) + 1) + 1;
  const std::pair<std::string, std::string> bad[] = {
      {testing::replaceAll(good, "epsilon 0.001000000000001", "epsilon -1"), "Line 17: epsilon -1 is below 0"},
      {testing::replaceAll(good, "MT+", "MT"), "Line 18: \"MT\" is not MT+, MT- or MT0"},
      {testing::replaceAll(good, "beta 0.5", "beta 1.5"), "Line 10: beta 1.5 is above 1"},
      {testing::replaceAll(good, "whole 3 0 1 2", "whole 3 0 1 01"), "Line 19: two classes are equal"},
      {testing::replaceAll(good, "whole 3 0 1 2", "number 3 0 -0 2"), "Line 19: two classes are equal"},
      {testing::replaceAll(good, "whole 3 0 1 2", "text 3 0 1 %2"), "Line 19: \"%2\" is not an escaped class"},
      {testing::replaceAll(good, "whole 3 0 1 2", "whole 4 0 1 2"),
       "Line 19: values after the count of the classes: 3, expected \"4\""},
      {good.substr(0, label) + "3" + good.substr(label + 1), "Line 21: class 3 is not between 0 and 2"},
  };
  for (const auto& [bytes, info] : bad) {
    writeFile(path, bytes);
    EXPECT_EQ(errorOf(ErrorKind::kBadModelFile, [&] { loadSupervisedModel(path); }),
              "Bad modelfile: " + path + "\nINFO: " + info + "\n");
  }
  model.classes = {"0", "1"};
  EXPECT_NE(errorOf(ErrorKind::kBadModelFile, [&] { saveSupervisedModel(path, model); }).find("is not between 0 and 1"),
            std::string::npos);
  model.classes = {"a", "b", "a"};
  model.classKind = ClassKind::kText;
  EXPECT_NE(errorOf(ErrorKind::kBadModelFile, [&] { saveSupervisedModel(path, model); }).find("two classes are equal"),
            std::string::npos);
}

}  // namespace
}  // namespace fuzzyart
