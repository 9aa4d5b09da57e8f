#include "results/model_writer.h"

#include <vector>

#include "base/failure.h"
#include "base/text.h"
#include "results/model_format.h"

namespace fuzzyart {

namespace mf = model_format;

namespace {

// The values of the parameter lines, kAlphaLine to kMaxCategoriesLine.
template <typename Net>
double parameterValue(const Net& network, int line) {
  const auto& p = network.parameters();
  switch (line) {
    case mf::kAlphaLine: return p.alpha;
    case mf::kBetaLine: return p.beta;
    case mf::kNextBetaLine: return network.currentBeta();
    case mf::kVigilanceLine: return p.vigilance;
    case mf::kItpLine: return p.itp;
    case mf::kIterationsLine: return p.iterations;
    case mf::kPassesLine: return network.passes();
    default: return p.maxCategories;
  }
}

// The first reason the parts cannot make a model file, or an empty text.
template <typename Net>
std::string faultOf(const Scaling& s, const Net& network, std::span<const int64_t> counts, bool supervised) {
  if (s.min.size() != s.columns.size() || s.max.size() != s.columns.size()) {
    return formatted("ranges of %zu and %zu values for %zu used columns", s.min.size(), s.max.size(), s.columns.size());
  }
  if (network.inputLength() != s.inputLength()) {
    return formatted("a network of input length %d for a scaling of %d", network.inputLength(), s.inputLength());
  }
  if (!counts.empty() && counts.size() != static_cast<size_t>(network.categoryCount())) {
    return formatted("%zu counts for %d categories", counts.size(), network.categoryCount());
  }
  std::string fault = mf::columnsFault(s.columnCount);
  if (fault.empty()) fault = mf::usedFault(s.columns, s.columnCount, s.complementCoding);
  if (fault.empty()) fault = mf::boundsFault(s.min);
  if (fault.empty()) fault = mf::boundsFault(s.max);
  if (fault.empty()) fault = mf::rangeFault(s.min, s.max);
  for (int line = mf::kAlphaLine; fault.empty() && line <= mf::kMaxCategoriesLine; ++line) {
    const double value = parameterValue(network, line);
    fault = supervised ? mf::supervisedParameterFault(line, value) : mf::parameterFault(line, value);
  }
  if (fault.empty()) fault = mf::categoriesFault(network.categoryCount(), network.parameters().maxCategories);
  for (int c = 0; fault.empty() && c < network.categoryCount(); ++c) {
    fault = mf::categoryFault(counts.empty() ? 0 : counts[static_cast<size_t>(c)], network.weights(c));
    if (!fault.empty()) fault = formatted("category %d: %s", c + 1, fault.c_str());
  }
  return fault;
}

class LineWriter {
 public:
  explicit LineWriter(OutputFile& file) : file_(file) {}

  LineWriter& key(int line) {
    text_ = mf::keyOf(line);
    return *this;
  }
  LineWriter& word(std::string_view word) {
    if (!text_.empty()) text_ += ' ';
    text_ += word;
    return *this;
  }
  LineWriter& number(int64_t value) { return word(std::to_string(value)); }
  LineWriter& number(float value) { return word(mf::floatText(value)); }
  LineWriter& flag(bool on) { return word(on ? mf::kYes : mf::kNo); }
  void end() {
    text_ += '\n';
    if (!file_.print("%.*s", static_cast<int>(text_.size()), text_.data())) failDiskFull();
    text_.clear();
  }

 private:
  OutputFile& file_;
  std::string text_;
};

// The lines up to max-categories.
template <typename Net>
void writeHead(LineWriter& out, std::string_view kind, const Scaling& s, const Net& network) {
  out.key(mf::kFormatLine).number(int64_t{mf::kVersion}).end();
  out.key(mf::kKindLine).word(kind).end();
  out.key(mf::kColumnsLine).number(int64_t{s.columnCount}).end();
  out.key(mf::kNormaliseLine).flag(s.normalise).end();
  out.key(mf::kComplementLine).flag(s.complementCoding).end();
  out.key(mf::kUsedLine);
  for (int column : s.columns) out.number(int64_t{column} + 1);
  out.end();
  out.key(mf::kMinLine);
  for (float min : s.min) out.number(min);
  out.end();
  out.key(mf::kMaxLine);
  for (float max : s.max) out.number(max);
  out.end();
  for (int line = mf::kAlphaLine; line <= mf::kMaxCategoriesLine; ++line) {
    const double value = parameterValue(network, line);
    out.key(line);
    if (mf::holdsFloat(line)) {
      out.number(static_cast<float>(value));
    } else {
      out.number(static_cast<int64_t>(value));
    }
    out.end();
  }
}

// The categories line, one line per category (its count, its class when
// there is one, its weights), and the end line.
template <typename Net, typename Class>
void writeCategories(LineWriter& out, const Net& network, std::span<const int64_t> counts, const Class& classOf) {
  out.key(mf::kCategoriesLine).number(int64_t{network.categoryCount()}).end();
  std::vector<float> weights;
  for (int c = 0; c < network.categoryCount(); ++c) {
    out.number(counts.empty() ? int64_t{0} : counts[static_cast<size_t>(c)]);
    classOf(c);
    weights = network.weights(c);
    for (float w : weights) out.number(w);
    out.end();
  }
  out.word(mf::kEnd).end();
}

[[noreturn]] void failWrite(const std::string& name, const std::string& fault) {
  fail(ErrorKind::kBadModelFile, "Can't write modelfile: %s\nINFO: %s\n", name.c_str(), fault.c_str());
}

}  // namespace

void writeModel(OutputFile& file, const std::string& name, const Scaling& s, const Network& network,
                std::span<const int64_t> counts) {
  if (const std::string fault = faultOf(s, network, counts, false); !fault.empty()) failWrite(name, fault);
  LineWriter out(file);
  writeHead(out, mf::kKind, s, network);
  writeCategories(out, network, counts, [](int) {});
}

std::string supervisedModelFault(const SupervisedModel& model) {
  const SupervisedNetwork& network = model.network;
  std::string fault = faultOf(model.scaling, network, model.counts, true);
  if (fault.empty()) fault = mf::supervisedParameterFault(mf::kEpsilonLine, network.parameters().epsilon);
  if (fault.empty()) fault = mf::classesFault(model.classKind, model.classes);
  for (int c = 0; fault.empty() && c < network.categoryCount(); ++c) {
    fault = mf::labelFault(network.label(c), model.classes.size());
    if (!fault.empty()) fault = formatted("category %d: %s", c + 1, fault.c_str());
  }
  return fault;
}

void writeSupervisedModel(OutputFile& file, const std::string& name, const SupervisedModel& model) {
  if (const std::string fault = supervisedModelFault(model); !fault.empty()) failWrite(name, fault);
  const SupervisedNetwork& network = model.network;
  LineWriter out(file);
  writeHead(out, mf::kSupervisedKind, model.scaling, network);
  out.key(mf::kEpsilonLine).word(mf::doubleText(network.parameters().epsilon)).end();
  out.key(mf::kMatchTrackingLine).word(mf::trackingText(network.parameters().matchTracking)).end();
  out.key(mf::kClassesLine).word(mf::classKindText(model.classKind)).number(static_cast<int64_t>(model.classes.size()));
  for (const std::string& value : model.classes) out.word(mf::escapedClass(value));
  out.end();
  writeCategories(out, network, model.counts, [&](int c) { out.number(int64_t{network.label(c)}); });
}

}  // namespace fuzzyart
