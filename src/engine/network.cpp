#include "fuzzyart/network.h"

#include "base/failure.h"
#include "engine/category_table.h"
#include "engine/classification.h"
#include "engine/learning.h"
#include "engine/row_search.h"

namespace fuzzyart {

void checkParameters(const NetworkParameters& p) {
  if (p.iterations < 1) {
    fail(ErrorKind::kInvalidParameter, "Number of iterationes must be greater than 0: Value=%d\n", p.iterations);
  }
  if (!(p.itp > 0.0f) || p.itp > 2.0f) {
    fail(ErrorKind::kInvalidParameter, "The iteration parameter must be between 0 and 2: Value=%.3f\n",
         double{p.itp});
  }
  if (!(p.vigilance >= 0.0f && p.vigilance <= 1.0f)) {
    fail(ErrorKind::kInvalidParameter, "The vigilance parameter must be between 0 and 1: Value=%.3f\n",
         double{p.vigilance});
  }
  if (!(p.beta > 0.0f)) {
    fail(ErrorKind::kInvalidParameter, "The learning rate parameter must be greater than 0: Value=%.5f\n",
         double{p.beta});
  }
  if (p.maxCategories < 1) {
    fail(ErrorKind::kInvalidParameter, "The number of categories must be greater than 0: Value=%d\n",
         p.maxCategories);
  }
}

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
};

Network::Network(const NetworkParameters& parameters, int inputLength)
    : state_(std::make_unique<State>(parameters, inputLength)) {}
Network::~Network() = default;
Network::Network(Network&&) noexcept = default;
Network& Network::operator=(Network&&) noexcept = default;

Network::Network(const Network& other) : state_(std::make_unique<State>(other.state_->parameters, 0)) {
  *this = other;
}

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
  if (rows.length() != static_cast<size_t>(s.table.length())) {
    fail(ErrorKind::kInvalidParameter, "Rows of %zu values for a network of %d.\n", rows.length(), s.table.length());
  }
  PassParameters pass{s.passes + 1, s.beta, s.search()};
  pass.search.threads = searchThreads(s.parameters.threads);
  fuzzyart::learnPass(s.table, rows, pass, observer);
  ++s.passes;
  // Beta shrinks in single precision after every pass.
  s.beta = s.beta * s.parameters.itp;
}

int Network::classify(std::span<const float> input) const {
  return classifyOne(state_->table, input, state_->search());
}

void Network::classify(RowSource& rows, const RowCallback& accept, Observer* observer,
                       ClassifyOptions options) const {
  if (rows.length() != static_cast<size_t>(state_->table.length())) {
    fail(ErrorKind::kInvalidParameter, "Rows of %zu values for a network of %d.\n", rows.length(),
         state_->table.length());
  }
  classifyRows(state_->table, rows, state_->search(), accept, observer, options.threads);
}

std::vector<float> Network::weights(int category) const {
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
  state_->beta = beta;
  state_->passes = passes;
}

void Tally::add(int category, std::span<const float> input) {
  // A row that no category accepts (-1) belongs to none, and a category the
  // tally was not sized for (a network that learnt on) widens it: a caller's
  // slip must not write outside the tables.
  if (category < 0) return;
  const auto at = static_cast<size_t>(category);
  if (at >= counts.size()) {
    counts.resize(at + 1, 0);
    if (!sums.empty()) sums.resize(at + 1, std::vector<float>(sums.front().size(), 0.0f));
  }
  ++counts[at];
  if (sums.empty()) return;
  std::vector<float>& s = sums[at];
  if (input.size() < s.size()) {
    fail(ErrorKind::kInvalidParameter, "A row of %zu values for sums of %zu variables\n", input.size(), s.size());
  }
  for (size_t j = 0; j < s.size(); ++j) s[j] += input[j];
}

}  // namespace fuzzyart
