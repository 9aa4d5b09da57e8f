// The Fuzzy ART network: categories learnt from prepared rows (input vectors
// in 0..1), and the classification of rows against them.
//
// Every result is fixed to the bit: each category's choice and match sums run
// in index order, rounded to single precision after every addition; the
// match quotient is compared with the vigilance in double; the learning
// update is computed in double and rounded once. Results never depend on the
// processor's vector width or on the number of threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "fuzzyart/limits.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/rows.h"

namespace fuzzyart {

struct NetworkParameters {
  int iterations = 10;   // learning passes of learn()
  float beta = 0.9f;     // learning rate of the first pass (1: fast learning)
  float alpha = 0.0f;    // choice parameter, added to both denominators
  float vigilance = 0.5f;
  float itp = 1.0f;      // Beta is multiplied by it after every pass
  int maxCategories = kDefaultMaxCategories;
  // The most threads learning may use: 0 for every core the process may run
  // on. Rows with little work use one. The result is the same for any number.
  int threads = 0;
  // With a seed, every pass of learn() and learnPass() presents the rows in
  // its own order drawn from the seed and the pass's number
  // (presentation_order.h); without, in the rows' order.
  std::optional<uint64_t> shuffleSeed = std::nullopt;
};

// Throws Error (kInvalidParameter) with the message of the first check that
// fails, in this order: iterations at least 1, Itp above 0 and at most 2,
// vigilance in 0..1, Beta above 0, maxCategories at least 1, Alpha a finite
// number.
void checkParameters(const NetworkParameters& parameters);

// How many threads classification may use: 0 for every core the process may
// run on. The result is the same for any number.
struct ClassifyOptions {
  int threads = 0;
};

// Called for every row in row order with its category (from 0), or -1 when
// no category accepts it, and the row itself.
using RowCallback = std::function<void(int64_t row, int category, std::span<const float> input)>;

class Network {
 public:
  // inputLength is the length of every row and weight vector, 1 to
  // kMaxInputLength. The parameters are taken as given (checkParameters tells
  // whether they are in range), but a network that could hold no category
  // (maxCategories below 1) or no row is refused with Error
  // (kInvalidParameter).
  Network(const NetworkParameters& parameters, int inputLength);
  ~Network();
  Network(const Network& other);
  Network& operator=(const Network& other);
  Network(Network&&) noexcept;
  Network& operator=(Network&&) noexcept;

  const NetworkParameters& parameters() const;
  int inputLength() const;
  int categoryCount() const;
  // The Beta of the next pass, and the passes learnt so far.
  float currentBeta() const;
  int passes() const;

  // parameters().iterations passes over the rows (shuffled when the
  // parameters hold a seed, and then the rows must be RandomAccessRows, or
  // kInvalidParameter). Rows of another
  // length than inputLength() are refused (kInvalidParameter), here and in
  // every call below that takes rows or weights.
  void learn(RowSource& rows, Observer* observer = nullptr);
  // One more pass with the current Beta, which then shrinks by Itp: online
  // learning on rows that come in batches.
  void learnPass(RowSource& rows, Observer* observer = nullptr);
  // learnPass with the rows presented in the order of this seed and the
  // pass's number, passes() + 1. Classification and every row callback
  // keep the rows' own order.
  void learnShuffledPass(RandomAccessRows& rows, uint64_t seed, Observer* observer = nullptr);

  // The category that accepts one row, or -1.
  int classify(std::span<const float> input) const;
  // Every row of the source, in order, to the callback.
  void classify(RowSource& rows, const RowCallback& accept, Observer* observer = nullptr,
                ClassifyOptions options = {}) const;

  // All inputLength weights of a category, 0 to categoryCount() - 1.
  std::vector<float> weights(int category) const;
  // A new category with the given weights (a stored network loading); past
  // parameters().maxCategories, Error (kTooManyCategories).
  void addCategory(std::span<const float> weights, Observer* observer = nullptr);
  // Sets where learning goes on from: the Beta of the next pass (any number
  // but NaN) and the passes done (0 or more), as a stored network restores
  // its state.
  void resumeLearning(float beta, int passes);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace fuzzyart
