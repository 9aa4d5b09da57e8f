#include "results/model_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include "base/failure.h"
#include "base/text.h"
#include "results/model_format.h"

namespace fuzzyart {

namespace mf = model_format;

namespace {
constexpr size_t kReadBytes = size_t{1} << 16;
}  // namespace

ModelLines::ModelLines(std::string_view bytes) : data_(bytes.data()), end_(bytes.size()) {}

ModelLines::ModelLines(int fd, uint64_t size) : fd_(fd), left_(size) {}

bool ModelLines::fill() {
  if (fd_ < 0 || left_ == 0) return false;
  // The line being read moves to the front; the lines before it are done.
  buffer_.erase(0, begin_);
  begin_ = 0;
  const size_t held = buffer_.size();
  const size_t wanted = static_cast<size_t>(std::min<uint64_t>(left_, kReadBytes));
  buffer_.resize(held + wanted);
  ssize_t n = 0;
  do {
    n = read(fd_, buffer_.data() + held, wanted);
  } while (n < 0 && errno == EINTR);
  buffer_.resize(held + (n > 0 ? static_cast<size_t>(n) : 0));
  data_ = buffer_.data();
  end_ = buffer_.size();
  if (n < 0) fault_ = "the file cannot be read";
  // A file that shrank since it was opened ends where it ends now.
  left_ = n > 0 ? left_ - static_cast<uint64_t>(n) : 0;
  return n > 0;
}

bool ModelLines::next(std::string_view& line) {
  if (fault_ != nullptr) return false;
  size_t searched = begin_;
  for (;;) {
    const void* feed = end_ > searched ? std::memchr(data_ + searched, '\n', end_ - searched) : nullptr;
    const size_t length = (feed != nullptr ? static_cast<const char*>(feed) - data_ : end_) - begin_;
    if (length > mf::kMaxLineBytes) {
      ++number_;
      fault_ = "the line is longer than 1048576 bytes";
      return false;
    }
    if (feed == nullptr) {
      const size_t held = end_ - begin_;
      if (fill()) {
        searched = begin_ + held;
        continue;
      }
      if (fault_ != nullptr || held == 0) {
        number_ += fault_ != nullptr ? 1 : 0;
        return false;
      }
      noFeed_ = true;
    }
    line = std::string_view(data_ + begin_, length);
    begin_ += length + (feed != nullptr ? 1 : 0);
    ++number_;
    if (line.ends_with('\r')) line.remove_suffix(1);
    return true;
  }
}

namespace {

class Reader {
 public:
  Reader(ModelLines& lines, const std::string& name) : lines_(lines), name_(name) {}

  Model read() {
    readHead(mf::kKind);
    Model model;
    readScaling(model.scaling);
    NetworkParameters p;
    float nextBeta = 0.0f;
    int passes = 0;
    readParameters(p, nextBeta, passes, false);
    const int64_t categories = categoriesLine(p.maxCategories);
    model.network = Network(p, model.scaling.inputLength());
    readCategories(model.scaling, categories, model.counts, [&](const std::vector<float>& weights) {
      model.network.addCategory(weights);
    });
    model.network.resumeLearning(nextBeta, passes);
    readEnd();
    return model;
  }

  SupervisedModel readSupervised() {
    readHead(mf::kSupervisedKind);
    SupervisedModel model;
    readScaling(model.scaling);
    SupervisedParameters p;
    float nextBeta = 0.0f;
    int passes = 0;
    readParameters(p, nextBeta, passes, true);
    take(mf::kEpsilonLine);
    values(1);
    p.epsilon = wide(fields_[1]);
    check(mf::supervisedParameterFault(mf::kEpsilonLine, p.epsilon));
    take(mf::kMatchTrackingLine);
    values(1);
    if (!mf::readTracking(fields_[1], p.matchTracking)) fault(quoted(fields_[1]) + " is not MT+, MT- or MT0");
    readClasses(model);
    const int64_t categories = categoriesLine(p.maxCategories);
    model.network = SupervisedNetwork(p, model.scaling.inputLength());
    readCategories(model.scaling, categories, model.counts, [&](const std::vector<float>& weights) {
      const int64_t label = whole(fields_[1]);
      check(mf::labelFault(label, model.classes.size()));
      model.network.addCategory(weights, static_cast<int32_t>(label));
    }, 1);
    model.network.resumeLearning(nextBeta, passes);
    readEnd();
    return model;
  }

 private:
  [[noreturn]] void fault(const std::string& what) { fault(line_, what); }
  [[noreturn]] void fault(int line, const std::string& what) {
    // A last line without its line feed is most likely cut short.
    const char* cut = lines_.endedWithoutFeed() && line == lines_.number() ? " (the file ends within the line)" : "";
    fail(ErrorKind::kBadModelFile, "Bad modelfile: %s\nINFO: Line %d: %s%s\n", name_.c_str(), line, what.c_str(), cut);
  }
  // A field as messages quote it.
  static std::string quoted(std::string_view field) {
    return formatted("\"%.*s\"", static_cast<int>(field.size()), field.data());
  }
  void check(const std::string& fault) {
    if (!fault.empty()) this->fault(fault);
  }

  // The next line into fields_; `expected` tells what the end of the file
  // came instead of.
  void take(int line, const std::string& expected) {
    std::string_view text;
    if (!lines_.next(text)) {
      if (lines_.fault() != nullptr) fault(lines_.number(), lines_.fault());
      const int line = lines_.number() + 1;
      fault(line, line == 1 ? "the file is empty" : formatted("the file ends here: %s expected", expected.c_str()));
    }
    line_ = lines_.number();
    fields_.clear();
    // Fields are written with one blank between them; runs of blanks and
    // tabs are taken as well, for a file edited by hand.
    for (size_t at = 0; at < text.size();) {
      const size_t start = text.find_first_not_of(" \t", at);
      if (start == std::string_view::npos) break;
      const size_t stop = std::min(text.find_first_of(" \t", start), text.size());
      fields_.push_back(text.substr(start, stop - start));
      at = stop;
    }
    // The format line's own check tells a file of another kind.
    const std::string_view key = line == mf::kFormatLine ? std::string_view() : mf::keyOf(line);
    if (!key.empty() && (fields_.empty() || fields_[0] != key)) fault(formatted("%s expected", key.data()));
  }
  void take(int line) { take(line, std::string(mf::keyOf(line))); }

  // The fields after the key must be `count`.
  void values(size_t count) {
    if (fields_.size() - 1 != count) {
      fault(formatted("values after %s: %zu, expected %zu", mf::keyOf(line_).data(), fields_.size() - 1, count));
    }
  }

  int64_t whole(std::string_view field) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size()) {
      fault(quoted(field) + " is not a whole number");
    }
    return value;
  }

  // NaN and infinity read as such; the rules refuse them.
  float number(std::string_view field) {
    float value = 0.0f;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size()) {
      fault(quoted(field) + " is not a number of single precision");
    }
    return value;
  }

  bool flag(int line) {
    take(line);
    values(1);
    if (fields_[1] != mf::kYes && fields_[1] != mf::kNo) fault(quoted(fields_[1]) + " is not yes or no");
    return fields_[1] == mf::kYes;
  }

  std::vector<float> numbers(int line, size_t count) {
    take(line);
    values(count);
    std::vector<float> out;
    out.reserve(count);
    for (size_t k = 1; k < fields_.size(); ++k) out.push_back(number(fields_[k]));
    check(mf::boundsFault(out));
    return out;
  }

  double wide(std::string_view field) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size()) fault(quoted(field) + " is not a number");
    return value;
  }

  std::string parameterFault(int line, double value) const {
    return supervised_ ? mf::supervisedParameterFault(line, value) : mf::parameterFault(line, value);
  }

  float floatLine(int line) {
    take(line);
    values(1);
    const float value = number(fields_[1]);
    check(parameterFault(line, value));
    return value;
  }

  int64_t wholeLine(int line) {
    take(line);
    values(1);
    const int64_t value = whole(fields_[1]);
    check(parameterFault(line, static_cast<double>(value)));
    return value;
  }

  void readHead(std::string_view kind) {
    take(mf::kFormatLine, "");
    if (fields_.empty() || fields_[0] != mf::kFormat) fault("not a fuzzyart model file");
    values(1);
    if (whole(fields_[1]) != mf::kVersion) {
      fault(formatted("version %s is not known (this program reads version %d)", quoted(fields_[1]).c_str(),
                      mf::kVersion));
    }
    take(mf::kKindLine);
    values(1);
    if (fields_[1] == kind) return;
    // The other kind is a model, just not one that this use can take.
    if (fields_[1] == mf::kSupervisedKind) {
      fault("a supervised model (kind fuzzyartmap), not a Fuzzy ART model (kind fuzzyart)");
    }
    if (fields_[1] == mf::kKind) {
      fault("a Fuzzy ART model (kind fuzzyart) without class labels, not a supervised model (kind fuzzyartmap)");
    }
    fault(formatted("kind %s is not known (this program reads %s)", quoted(fields_[1]).c_str(), kind.data()));
  }

  template <typename Parameters>
  void readParameters(Parameters& p, float& nextBeta, int& passes, bool supervised) {
    supervised_ = supervised;
    p.alpha = floatLine(mf::kAlphaLine);
    p.beta = floatLine(mf::kBetaLine);
    nextBeta = floatLine(mf::kNextBetaLine);
    p.vigilance = floatLine(mf::kVigilanceLine);
    p.itp = floatLine(mf::kItpLine);
    p.iterations = static_cast<int>(wholeLine(mf::kIterationsLine));
    passes = static_cast<int>(wholeLine(mf::kPassesLine));
    p.maxCategories = static_cast<int>(wholeLine(mf::kMaxCategoriesLine));
  }

  int64_t categoriesLine(int maxCategories) {
    take(mf::kCategoriesLine, "categories");
    values(1);
    const int64_t categories = whole(fields_[1]);
    check(mf::categoriesFault(categories, maxCategories));
    return categories;
  }

  void readClasses(SupervisedModel& model) {
    take(mf::kClassesLine);
    if (fields_.size() < 3) fault("the kind and the count of the classes expected");
    if (!mf::readClassKind(fields_[1], model.classKind)) fault(quoted(fields_[1]) + " is not whole, number or text");
    const int64_t count = whole(fields_[2]);
    if (count < 0 || static_cast<uint64_t>(count) != fields_.size() - 3) {
      fault(formatted("values after the count of the classes: %zu, expected %s", fields_.size() - 3,
                      quoted(fields_[2]).c_str()));
    }
    std::string value;
    for (size_t k = 3; k < fields_.size(); ++k) {
      if (!mf::unescapeClass(fields_[k], value)) fault(quoted(fields_[k]) + " is not an escaped class");
      model.classes.push_back(value);
    }
    check(mf::classesFault(model.classKind, model.classes));
  }

  void readScaling(Scaling& s) {
    take(mf::kColumnsLine);
    values(1);
    const int64_t columns = whole(fields_[1]);
    check(mf::columnsFault(columns));
    s.columnCount = static_cast<int>(columns);
    s.normalise = flag(mf::kNormaliseLine);
    s.complementCoding = flag(mf::kComplementLine);
    take(mf::kUsedLine);
    // More fields than columns cannot be ascending columns: no conversion
    // of a line that long is needed to refuse it.
    if (fields_.size() - 1 > static_cast<size_t>(s.columnCount)) fault("more used columns than columns");
    for (size_t k = 1; k < fields_.size(); ++k) {
      const int64_t column = whole(fields_[k]);
      s.columns.push_back(static_cast<int>(std::clamp<int64_t>(column, INT32_MIN + 1, INT32_MAX) - 1));
    }
    check(mf::usedFault(s.columns, s.columnCount, s.complementCoding));
    s.min = numbers(mf::kMinLine, s.columns.size());
    s.max = numbers(mf::kMaxLine, s.columns.size());
    check(mf::rangeFault(s.min, s.max));
  }

  // Each category line: its count, `extra` fields (its class), its weights,
  // which `add` takes with the line's fields still in fields_.
  template <typename Add>
  void readCategories(const Scaling& scaling, int64_t categories, std::vector<int64_t>& counts, const Add& add,
                      size_t extra = 0) {
    const size_t length = static_cast<size_t>(scaling.inputLength());
    std::vector<float> weights(length);
    for (int64_t c = 0; c < categories; ++c) {
      take(mf::kFirstCategoryLine,
           formatted("category %lld of %lld", static_cast<long long>(c + 1), static_cast<long long>(categories)));
      if (fields_.size() == 1 && fields_[0] == mf::kEnd) {
        fault(formatted("end after %lld categories, expected %lld", static_cast<long long>(c),
                        static_cast<long long>(categories)));
      }
      if (fields_.size() != length + 1 + extra) {
        fault(formatted(extra == 0 ? "values of a category: %zu, expected %zu (its count and %zu weights)"
                                   : "values of a category: %zu, expected %zu (its count, its class and %zu weights)",
                        fields_.size(), length + 1 + extra, length));
      }
      const int64_t count = whole(fields_[0]);
      for (size_t i = 0; i < length; ++i) weights[i] = number(fields_[i + 1 + extra]);
      check(mf::categoryFault(count, weights));
      counts.push_back(count);
      add(weights);
    }
  }

  void readEnd() {
    take(mf::kFirstCategoryLine, std::string(mf::kEnd));
    if (fields_.size() != 1 || fields_[0] != mf::kEnd) fault(formatted("%s expected", mf::kEnd.data()));
    std::string_view more;
    if (lines_.next(more)) fault(lines_.number(), "text after the end line");
    if (lines_.fault() != nullptr) fault(lines_.number(), lines_.fault());
  }

  ModelLines& lines_;
  const std::string& name_;
  int line_ = 0;
  bool supervised_ = false;
  std::vector<std::string_view> fields_;
};

}  // namespace

Model readModel(ModelLines& lines, const std::string& name) { return Reader(lines, name).read(); }

SupervisedModel readSupervisedModel(ModelLines& lines, const std::string& name) {
  return Reader(lines, name).readSupervised();
}

}  // namespace fuzzyart
