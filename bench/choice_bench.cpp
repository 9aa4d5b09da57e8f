// The search of all categories for one input vector: the dispatched kernel
// (choice values and the winner among those that reach a match threshold,
// as learning and recall run it), and each variant the processor runs,
// against the plain loop that sums each category's terms and weights in
// turn. One element operation is one minimum and one addition.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "engine/category_table.h"
#include "engine/choice_kernel.h"

namespace fuzzyart {
namespace {

struct Setup {
  std::unique_ptr<CategoryTable> table;
  std::vector<std::vector<float>> weights;  // the plain loop's own storage, one vector a category
  std::vector<float> input;

  Setup(int count, int length) : table(std::make_unique<CategoryTable>(count, length, 0.0f)) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    weights.assign(static_cast<size_t>(count), std::vector<float>(static_cast<size_t>(length)));
    for (auto& category : weights) {
      for (auto& w : category) w = unit(rng);
      commitCategory(*table, category, nullptr);
    }
    input.resize(static_cast<size_t>(length));
    for (auto& x : input) x = unit(rng);
  }
};

void sweep(benchmark::internal::Benchmark* b) {
  for (int count : {16, 256, 1024}) {
    for (int length : {8, 32, 256}) b->Args({count, length});
  }
  // The short rows of bench/run's runs 3 and 1.
  b->Args({288, 8})->Args({480, 16});
}

void setCounters(benchmark::State& state, int count, int length) {
  state.SetItemsProcessed(state.iterations() * int64_t{count} * length);
}

void BM_PlainChoice(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const int length = static_cast<int>(state.range(1));
  Setup setup(count, length);
  std::vector<float> choices(static_cast<size_t>(count));
  const float alpha = 0.0f;
  for (auto _ : state) {
    for (int j = 0; j < count; ++j) {
      const std::vector<float>& w = setup.weights[j];
      float s = 0.0f;
      float d = alpha;
      for (int i = 0; i < length; ++i) {
        s += setup.input[i] < w[i] ? setup.input[i] : w[i];
        d += w[i];
      }
      choices[j] = s / d;
    }
    benchmark::DoNotOptimize(choices.data());
    benchmark::ClobberMemory();
  }
  setCounters(state, count, length);
}
BENCHMARK(BM_PlainChoice)->Apply(sweep);

void runKernel(benchmark::State& state, SearchKernelFn search) {
  const int count = static_cast<int>(state.range(0));
  const int length = static_cast<int>(state.range(1));
  Setup setup(count, length);
  // About half the categories reach the threshold of vigilance 0.5.
  float inputSum = 0.0f;
  for (float x : setup.input) inputSum += x;
  const float threshold = 0.5f * inputSum * 0.66f;
  for (auto _ : state) {
    Candidate best = search(*setup.table, 0, setup.table->tileCount(), setup.input.data(), threshold);
    benchmark::DoNotOptimize(best);
  }
  setCounters(state, count, length);
}

void BM_ChoiceKernel(benchmark::State& state) {
  state.SetLabel(activeChoiceKernel().name);
  runKernel(state, activeChoiceKernel().search);
}
BENCHMARK(BM_ChoiceKernel)->Apply(sweep);

// Every variant this processor runs, at the largest size.
void registerVariants() {
  for (const auto& target : choiceKernelTargets()) {
    if (!target.supported) continue;
    benchmark::RegisterBenchmark((std::string("BM_ChoiceKernel_") + target.name).c_str(),
                                 [search = target.search](benchmark::State& state) { runKernel(state, search); })
        ->Args({1024, 32})
        ->Args({256, 256});
  }
}
const int registered = (registerVariants(), 0);

}  // namespace
}  // namespace fuzzyart
