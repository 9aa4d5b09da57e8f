// The model file: a network of 1024 categories of 512 weights (a command
// line model at its category limit, 32 variables with complement coding
// on 256 columns) written to text and read back, in memory.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "results/model_reader.h"
#include "results/model_writer.h"

namespace fuzzyart {
namespace {

Model makeModel() {
  Model model;
  model.scaling.columnCount = 256;
  model.scaling.complementCoding = true;
  for (int c = 0; c < 256; ++c) {
    model.scaling.columns.push_back(c);
    model.scaling.min.push_back(static_cast<float>(-c));
    model.scaling.max.push_back(static_cast<float>(c + 1));
  }
  model.network = Network({}, 512);
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> weight(0.0f, 1.0f);
  std::vector<float> weights(512);
  for (int j = 0; j < 1024; ++j) {
    for (float& w : weights) w = weight(rng);
    model.network.addCategory(weights);
    model.counts.push_back(j);
  }
  return model;
}

std::string written(const Model& model) {
  char* text = nullptr;
  size_t size = 0;
  OutputFile file;
  file.adopt(open_memstream(&text, &size));
  writeModel(file, "bench", model.scaling, model.network, model.counts);
  file.close();
  std::string out(text, size);
  std::free(text);
  return out;
}

void BM_WriteModel(benchmark::State& state) {
  const Model model = makeModel();
  size_t bytes = 0;
  for (auto _ : state) bytes = written(model).size();
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WriteModel)->Unit(benchmark::kMillisecond);

void BM_ReadModel(benchmark::State& state) {
  const std::string text = written(makeModel());
  for (auto _ : state) {
    ModelLines lines(text);
    benchmark::DoNotOptimize(readModel(lines, "bench").network.categoryCount());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadModel)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fuzzyart
