#include "fuzzyart/network.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/number_text.h"
#include "engine/category_table.h"
#include "engine/classification.h"
#include "engine/learning.h"
#include "engine/row_search.h"
#include "engine/parameter_check.h"
#include "fuzzyart/presentation_order.h"

namespace fuzzyart {

void checkRangedParameters(const NetworkParameters& p) {
  if (p.iterations < 1) {
    fail(ErrorKind::kInvalidParameter, "Number of iterationes must be greater than 0: Value=%d\n", p.iterations);
  }
  if (!(p.itp > 0.0f) || p.itp > 2.0f) {
    fail(ErrorKind::kInvalidParameter, "The iteration parameter must be between 0 and 2: Value=%s\n",
         fixedText(p.itp, 3).c_str());
  }
  if (!(p.vigilance >= 0.0f && p.vigilance <= 1.0f)) {
    fail(ErrorKind::kInvalidParameter, "The vigilance parameter must be between 0 and 1: Value=%s\n",
         fixedText(p.vigilance, 3).c_str());
  }
  if (!(p.beta > 0.0f)) {
    fail(ErrorKind::kInvalidParameter, "The learning rate parameter must be greater than 0: Value=%s\n",
         fixedText(p.beta, 5).c_str());
  }
  if (p.maxCategories < 1) {
    fail(ErrorKind::kInvalidParameter, "The number of categories must be greater than 0: Value=%d\n",
         p.maxCategories);
  }
}

void checkParameters(const NetworkParameters& p) {
  checkRangedParameters(p);
  if (!std::isfinite(p.alpha)) {
    fail(ErrorKind::kInvalidParameter, "The category choice parameter must be a finite number: Value=%s\n",
         fixedText(p.alpha, 3).c_str());
  }
}


void checkNetworkShape(int maxCategories, int inputLength) {
  if (maxCategories < 1) {
    fail(ErrorKind::kInvalidParameter, "The number of categories must be greater than 0: Value=%d\n", maxCategories);
  }
  if (inputLength < 1 || inputLength > kMaxInputLength) {
    fail(ErrorKind::kInvalidParameter, "The input length must be between 1 and %d: Value=%d\n", kMaxInputLength,
         inputLength);
  }
}

void checkRowLength(size_t length, int inputLength) {
  if (length != static_cast<size_t>(inputLength)) {
    fail(ErrorKind::kInvalidParameter, "Rows of %zu values for a network of %d.\n", length, inputLength);
  }
}

namespace {

// The rows of a source in a pass's order, a block at a time: the memory held
// is one block, whatever the number of rows.
class ShuffledRows final : public RowSource {
 public:
  ShuffledRows(RandomAccessRows& rows, const PresentationOrder& order) : rows_(rows), order_(order) {}
  size_t length() const override { return rows_.length(); }
  void rewind() override {
    rows_.rewind();
    place_ = 0;
  }
  size_t next(size_t wanted, const float*& out) override {
    const size_t count = static_cast<size_t>(std::min<uint64_t>({wanted, kBlockRows, order_.size() - place_}));
    indices_.resize(count);
    for (size_t k = 0; k < count; ++k) indices_[k] = order_[place_ + k];
    block_.resize(count * rows_.length());
    if (count == 0 || !rows_.gather(indices_, block_.data())) return 0;
    place_ += count;
    out = block_.data();
    return count;
  }
  bool failed() const override { return rows_.failed(); }
  std::string name() const override { return rows_.name(); }

 private:
  static constexpr uint64_t kBlockRows = 4096;
  RandomAccessRows& rows_;
  const PresentationOrder& order_;
  uint64_t place_ = 0;
  std::vector<uint64_t> indices_;
  std::vector<float> block_;
};

}  // namespace

struct Network::State {
  State(const NetworkParameters& p, int inputLength)
      : parameters(p), table(p.maxCategories, inputLength, p.alpha), beta(p.beta) {}
  NetworkParameters parameters;
  CategoryTable table;
  float beta;      // the Beta of the next pass
  int passes = 0;  // passes learnt so far

  // The search of learning and classification: the network's vigilance,
  // the engine of the build.
  SearchOptions search() const {
    SearchOptions options;
    options.test.vigilance = parameters.vigilance;
    return options;
  }

  void learnPass(RowSource& rows, Observer* observer) {
    PassParameters pass{passes + 1, beta, search()};
    pass.search.threads = searchThreads(parameters.threads);
    fuzzyart::learnPass(table, rows, pass, observer);
    ++passes;
    // Beta shrinks in single precision after every pass.
    beta = beta * parameters.itp;
  }
};

Network::Network(const NetworkParameters& parameters, int inputLength) {
  checkNetworkShape(parameters.maxCategories, inputLength);
  state_ = std::make_unique<State>(parameters, inputLength);
}
Network::~Network() = default;
Network::Network(Network&&) noexcept = default;
Network& Network::operator=(Network&&) noexcept = default;

Network::Network(const Network& other) { *this = other; }

Network& Network::operator=(const Network& other) {
  if (this == &other) return *this;
  auto copy = std::make_unique<State>(other.state_->parameters, other.inputLength());
  copy->table = other.state_->table;
  copy->beta = other.state_->beta;
  copy->passes = other.state_->passes;
  state_ = std::move(copy);
  return *this;
}

const NetworkParameters& Network::parameters() const { return state_->parameters; }
int Network::inputLength() const { return state_->table.length(); }
int Network::categoryCount() const { return state_->table.count(); }
float Network::currentBeta() const { return state_->beta; }
int Network::passes() const { return state_->passes; }

void Network::learn(RowSource& rows, Observer* observer) {
  for (int pass = 1; pass <= state_->parameters.iterations; ++pass) learnPass(rows, observer);
}

void Network::learnPass(RowSource& rows, Observer* observer) {
  State& s = *state_;
  if (s.parameters.shuffleSeed) {
    auto* shuffled = dynamic_cast<RandomAccessRows*>(&rows);
    if (shuffled == nullptr) fail(ErrorKind::kInvalidParameter, "Rows read only in order cannot be shuffled.\n");
    learnShuffledPass(*shuffled, *s.parameters.shuffleSeed, observer);
    return;
  }
  checkRowLength(rows.length(), s.table.length());
  s.learnPass(rows, observer);
}

void Network::learnShuffledPass(RandomAccessRows& rows, uint64_t seed, Observer* observer) {
  State& s = *state_;
  checkRowLength(rows.length(), s.table.length());
  const PresentationOrder order(rows.rows(), seed, static_cast<uint64_t>(s.passes) + 1);
  ShuffledRows shuffled(rows, order);
  s.learnPass(shuffled, observer);
}

int Network::classify(std::span<const float> input) const {
  checkRowLength(input.size(), inputLength());
  return classifyOne(state_->table, input, state_->search());
}

void Network::classify(RowSource& rows, const RowCallback& accept, Observer* observer,
                       ClassifyOptions options) const {
  checkRowLength(rows.length(), inputLength());
  classifyRows(state_->table, rows, state_->search(), accept, observer, options.threads);
}

std::vector<float> Network::weights(int category) const {
  if (category < 0 || category >= categoryCount()) {
    fail(ErrorKind::kInvalidParameter, "No category %d in a network of %d.\n", category, categoryCount());
  }
  std::vector<float> out(static_cast<size_t>(inputLength()));
  state_->table.copyWeights(category, out);
  return out;
}

void Network::addCategory(std::span<const float> weights, Observer* observer) {
  if (weights.size() != static_cast<size_t>(inputLength())) {
    fail(ErrorKind::kInvalidParameter, "A category of %zu weights for a network of %d.\n", weights.size(),
         inputLength());
  }
  if (categoryCount() == state_->table.capacity()) {
    fail(ErrorKind::kTooManyCategories, "Too many categories. Max:%d\n", state_->table.capacity());
  }
  commitCategory(state_->table, weights, observer);
}

void Network::resumeLearning(float beta, int passes) {
  // A NaN Beta would turn every weight it learns into NaN.
  if (std::isnan(beta) || passes < 0) {
    fail(ErrorKind::kInvalidParameter, "Learning cannot go on from Beta %s after %d passes.\n",
         fixedText(beta, 5).c_str(), passes);
  }
  state_->beta = beta;
  state_->passes = passes;
}

}  // namespace fuzzyart
