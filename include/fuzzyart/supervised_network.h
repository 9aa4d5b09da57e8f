// A supervised Fuzzy ART network, in the simplified form of Fuzzy ARTMAP: one
// Fuzzy ART module whose categories each carry a class label, learnt online
// with match tracking, with no fixed number of categories. It runs on the
// same exact engine as Network: the same choice and match sums, the same
// search, bit-identical for any thread count, vector width and caller.
//
// Learning a row x with label y: the vigilance starts at the baseline; the
// categories are taken in order of their choice value (largest first, ties to
// the lower index) among those whose match reaches the current vigilance. If
// the winner's label is y, it learns the row (Fuzzy ART's update with the
// pass's Beta). If not, match tracking raises the row's vigilance to the
// winner's match plus epsilon (kPlus), to its match minus epsilon (kMinus), or
// to its match with the test then strict, the match above the vigilance
// (kZero); the search goes on among the categories not yet tried. When none is
// left, or the raised vigilance is above 1, the row becomes a new category
// labelled y. The next row starts at the baseline again.
//
// Identical rows with different labels: the rule above would add a category
// for the conflicting copy in every pass. So a row that lost to a category of
// another label and is about to become a new category does not when a
// category of its own label already holds exactly its weights; it changes
// nothing and counts as a conflict. Where no such conflict occurs, learning
// is the rule above step for step.
//
// Classification: the category with the largest choice value among all
// categories (no vigilance test; ties to the lower index), and its label.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "fuzzyart/network.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/rows.h"

namespace fuzzyart {

enum class MatchTracking {
  kPlus,   // MT+: the winner's match plus epsilon
  kMinus,  // MT-: the winner's match minus epsilon
  kZero,   // MT0: the winner's match, the test strict
};

struct SupervisedParameters {
  int iterations = 1;       // learning passes of learn()
  float beta = 1.0f;        // learning rate of the first pass, in (0, 1]; 1: fast learning
  float alpha = 0.001f;     // choice parameter, 0 or more
  float vigilance = 0.0f;   // the baseline vigilance every row starts from
  float itp = 1.0f;         // Beta is multiplied by it after every pass
  double epsilon = 1e-10;   // match tracking's step, 0 or more
  MatchTracking matchTracking = MatchTracking::kPlus;
  // The most categories; the default is limited by memory only.
  int maxCategories = std::numeric_limits<int>::max();
  // The most threads one row's search may use: 0 for every core the process
  // may run on. The result is the same for any number.
  int threads = 0;
};

// Throws Error (kInvalidParameter) with the message of the first check that
// fails: iterations at least 1, Itp above 0 and at most 2, vigilance in 0..1,
// Beta above 0 and at most 1, Alpha finite and not negative, epsilon finite
// and not negative, maxCategories at least 1. The messages are Network's
// where its parameter has one.
void checkParameters(const SupervisedParameters& parameters);

// Called for every row in row order with its category (from 0; -1 only when
// the network has none) and that category's label.
using LabelCallback = std::function<void(int64_t row, int category, int32_t label, std::span<const float> input)>;

class SupervisedNetwork {
 public:
  // Parameters are taken as given (checkParameters tells whether they are in
  // range); inputLength is the length of every row and weight vector.
  SupervisedNetwork(const SupervisedParameters& parameters, int inputLength);
  ~SupervisedNetwork();
  SupervisedNetwork(const SupervisedNetwork& other);
  SupervisedNetwork& operator=(const SupervisedNetwork& other);
  SupervisedNetwork(SupervisedNetwork&&) noexcept;
  SupervisedNetwork& operator=(SupervisedNetwork&&) noexcept;

  const SupervisedParameters& parameters() const;
  int inputLength() const;
  int categoryCount() const;
  // The Beta of the next pass, and the passes learnt so far.
  float currentBeta() const;
  int passes() const;
  // The rows of the last pass that were kept from becoming a copy of a
  // category of their own label (see above).
  int64_t conflicts() const;

  // parameters().iterations passes over the rows in order; labels holds one
  // label per row of the source.
  void learn(RowSource& rows, std::span<const int32_t> labels, Observer* observer = nullptr);
  // One more pass with the current Beta, which then shrinks by Itp.
  void learnPass(RowSource& rows, std::span<const int32_t> labels, Observer* observer = nullptr);

  struct Prediction {
    int category = -1;  // -1 only when the network has no category
    int32_t label = 0;
  };
  Prediction classify(std::span<const float> input) const;
  void classify(RowSource& rows, const LabelCallback& accept, Observer* observer = nullptr,
                ClassifyOptions options = {}) const;

  // All inputLength weights of a category, and its label.
  std::vector<float> weights(int category) const;
  int32_t label(int category) const;
  // A new category with the given weights and label (a stored network
  // loading).
  void addCategory(std::span<const float> weights, int32_t label, Observer* observer = nullptr);
  // Sets where learning goes on from: the Beta of the next pass and the
  // passes done (a stored network restoring its state).
  void resumeLearning(float beta, int passes);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace fuzzyart
