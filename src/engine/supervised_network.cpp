#include "fuzzyart/supervised_network.h"

#include <cmath>
#include <limits>

#include "base/failure.h"
#include "base/number_text.h"
#include "engine/art_rule.h"
#include "engine/category_table.h"
#include "engine/classification.h"
#include "engine/learning.h"
#include "engine/parameter_check.h"
#include "engine/row_search.h"

namespace fuzzyart {

void checkParameters(const SupervisedParameters& p) {
  // Network's checks with its messages, in its order.
  NetworkParameters shared;
  shared.iterations = p.iterations;
  shared.beta = p.beta;
  shared.alpha = p.alpha;
  shared.vigilance = p.vigilance;
  shared.itp = p.itp;
  shared.maxCategories = p.maxCategories;
  checkParameters(shared);
  // Above 1 the update overshoots and drives weights below 0, where choice
  // values turn negative and no longer rank the categories.
  if (p.beta > 1.0f) {
    fail(ErrorKind::kInvalidParameter, "The learning rate parameter must be at most 1: Value=%s\n",
         fixedText(p.beta, 5).c_str());
  }
  if (p.alpha < 0.0f) {
    fail(ErrorKind::kInvalidParameter, "The category choice parameter must be 0 or more: Value=%s\n",
         fixedText(p.alpha, 3).c_str());
  }
  if (!(std::isfinite(p.epsilon) && p.epsilon >= 0.0)) {
    fail(ErrorKind::kInvalidParameter, "The match tracking epsilon must be 0 or more: Value=%s\n",
         fixedText(p.epsilon, 6).c_str());
  }
  if (p.matchTracking != MatchTracking::kPlus && p.matchTracking != MatchTracking::kMinus &&
      p.matchTracking != MatchTracking::kZero) {
    fail(ErrorKind::kInvalidParameter, "Unknown match tracking: %d\n", static_cast<int>(p.matchTracking));
  }
}

struct SupervisedNetwork::State {
  State(const SupervisedParameters& p, int inputLength)
      : parameters(p), table(p.maxCategories, inputLength, p.alpha), beta(p.beta) {
    categories.tracking = p.matchTracking;
    categories.epsilon = p.epsilon;
  }
  SupervisedParameters parameters;
  CategoryTable table;
  LabelledCategories categories;
  float beta;      // the Beta of the next pass
  int passes = 0;  // passes learnt so far
  int64_t conflicts = 0;

  // Learning starts every row at the baseline vigilance.
  SearchOptions learning() const {
    SearchOptions options;
    options.test.vigilance = parameters.vigilance;
    options.threads = searchThreads(parameters.threads);
    return options;
  }
  // Classification takes the best choice value whatever its match.
  SearchOptions classification() const {
    SearchOptions options;
    options.test.vigilance = -std::numeric_limits<double>::infinity();
    return options;
  }

  void checkLength(size_t length) const { checkRowLength(length, table.length()); }
  void checkCategory(int category) const {
    if (category < 0 || category >= table.count()) {
      fail(ErrorKind::kInvalidParameter, "No category %d in a network of %d.\n", category, table.count());
    }
  }
};

SupervisedNetwork::SupervisedNetwork(const SupervisedParameters& parameters, int inputLength) {
  checkNetworkShape(parameters.maxCategories, inputLength);
  state_ = std::make_unique<State>(parameters, inputLength);
}
SupervisedNetwork::~SupervisedNetwork() = default;
SupervisedNetwork::SupervisedNetwork(SupervisedNetwork&&) noexcept = default;
SupervisedNetwork& SupervisedNetwork::operator=(SupervisedNetwork&&) noexcept = default;
SupervisedNetwork::SupervisedNetwork(const SupervisedNetwork& other) : state_(std::make_unique<State>(*other.state_)) {}

SupervisedNetwork& SupervisedNetwork::operator=(const SupervisedNetwork& other) {
  if (this != &other) state_ = std::make_unique<State>(*other.state_);
  return *this;
}

const SupervisedParameters& SupervisedNetwork::parameters() const { return state_->parameters; }
int SupervisedNetwork::inputLength() const { return state_->table.length(); }
int SupervisedNetwork::categoryCount() const { return state_->table.count(); }
float SupervisedNetwork::currentBeta() const { return state_->beta; }
int SupervisedNetwork::passes() const { return state_->passes; }
int64_t SupervisedNetwork::conflicts() const { return state_->conflicts; }

void SupervisedNetwork::learn(RowSource& rows, std::span<const int32_t> labels, Observer* observer) {
  for (int pass = 1; pass <= state_->parameters.iterations; ++pass) learnPass(rows, labels, observer);
}

void SupervisedNetwork::learnPass(RowSource& rows, std::span<const int32_t> labels, Observer* observer) {
  State& s = *state_;
  s.checkLength(rows.length());
  s.conflicts = learnLabelledPass(s.table, s.categories, rows, labels, {s.passes + 1, s.beta, s.learning()}, observer);
  ++s.passes;
  // Beta shrinks in single precision after every pass.
  s.beta = s.beta * s.parameters.itp;
}

SupervisedNetwork::Prediction SupervisedNetwork::classify(std::span<const float> input) const {
  state_->checkLength(input.size());
  const int category = classifyOne(state_->table, input, state_->classification());
  if (category < 0) return {};
  return {category, state_->categories.labels[static_cast<size_t>(category)]};
}

void SupervisedNetwork::classify(RowSource& rows, const LabelCallback& accept, Observer* observer,
                                 ClassifyOptions options) const {
  state_->checkLength(rows.length());
  const std::vector<int32_t>& labels = state_->categories.labels;
  classifyRows(
      state_->table, rows, state_->classification(),
      [&](int64_t row, int category, std::span<const float> input) {
        accept(row, category, category < 0 ? 0 : labels[static_cast<size_t>(category)], input);
      },
      observer, options.threads);
}

std::vector<float> SupervisedNetwork::weights(int category) const {
  state_->checkCategory(category);
  std::vector<float> out(static_cast<size_t>(inputLength()));
  state_->table.copyWeights(category, out);
  return out;
}

int32_t SupervisedNetwork::label(int category) const {
  state_->checkCategory(category);
  return state_->categories.labels[static_cast<size_t>(category)];
}

void SupervisedNetwork::addCategory(std::span<const float> weights, int32_t label, Observer* observer) {
  State& s = *state_;
  s.checkLength(weights.size());
  if (s.table.count() == s.table.capacity()) {
    fail(ErrorKind::kTooManyCategories, "Too many categories. Max:%d\n", s.table.capacity());
  }
  commitCategory(s.table, weights, observer);
  s.categories.labels.push_back(label);
}

void SupervisedNetwork::resumeLearning(float beta, int passes) {
  if (!(beta > 0.0f && std::isfinite(beta)) || passes < 0) {
    fail(ErrorKind::kInvalidParameter, "Learning cannot go on from Beta %g after %d passes.\n", double{beta}, passes);
  }
  state_->beta = beta;
  state_->passes = passes;
}

}  // namespace fuzzyart
