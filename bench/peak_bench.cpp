// The machine's peak for the choice work: a loop of minima and additions that
// never touches memory, at the widest vector width the processor runs, with
// enough independent sums to hide the latency of an addition.
#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

template <typename V>
inline __attribute__((always_inline)) float peakLoop(int64_t rounds) {
  constexpr int kChains = 8;
  V sums[kChains] = {};
  V weights[kChains];
  for (int k = 0; k < kChains; ++k) weights[k] = V{} + 0.001f * static_cast<float>(k + 1);
  V x = V{} + 0.0005f;
  for (int64_t n = 0; n < rounds; ++n) {
    // The compiler must not treat x as a constant and hoist the minima.
    asm volatile("" : "+v"(x));
    for (int k = 0; k < kChains; ++k) sums[k] = sums[k] + (x < weights[k] ? x : weights[k]);
  }
  float total = 0.0f;
  for (int k = 0; k < kChains; ++k) {
    for (unsigned l = 0; l < sizeof(V) / sizeof(float); ++l) total += sums[k][l];
  }
  return total;
}

typedef float V16 __attribute__((vector_size(64)));
typedef float V8 __attribute__((vector_size(32)));
typedef float V4 __attribute__((vector_size(16)));

__attribute__((target("avx512f"))) float peakAvx512(int64_t rounds) { return peakLoop<V16>(rounds); }
__attribute__((target("avx2"))) float peakAvx2(int64_t rounds) { return peakLoop<V8>(rounds); }
float peakSse2(int64_t rounds) { return peakLoop<V4>(rounds); }

void BM_Peak(benchmark::State& state) {
  __builtin_cpu_init();
  float (*loop)(int64_t) = peakSse2;
  int width = 4;
  const char* name = "sse2";
  if (__builtin_cpu_supports("avx512f")) {
    loop = peakAvx512, width = 16, name = "avx512";
  } else if (__builtin_cpu_supports("avx2")) {
    loop = peakAvx2, width = 8, name = "avx2";
  }
  const int64_t rounds = 1 << 20;
  for (auto _ : state) benchmark::DoNotOptimize(loop(rounds));
  state.SetLabel(name);
  state.SetItemsProcessed(state.iterations() * rounds * 8 * width);
}
BENCHMARK(BM_Peak);

}  // namespace
