// The machine's peak for the choice work: the instructions the kernel's inner
// loop runs (a minimum with a memory operand, then an addition), written out
// in assembly so that the compiler cannot turn them into a compare and a
// blend, at the widest vector width the processor runs, with eight
// independent sums to hide the latency of an addition. The eight weight
// vectors stay in the first-level cache.
#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

typedef float V16 __attribute__((vector_size(64)));
typedef float V8 __attribute__((vector_size(32)));

// Sum k takes the minimum of x and weight vector k through register t.
#define FUZZYART_PEAK_STEP(k, width, t)                  \
  "vminps " #k "*" #width "(%[w]), %[x], %%" t "\n\t" \
  "vaddps %%" t ", %[s" #k "], %[s" #k "]\n\t"

template <typename V>
float total(const V (&sums)[8]) {
  float t = 0.0f;
  for (const V& s : sums) {
    for (unsigned l = 0; l < sizeof(V) / sizeof(float); ++l) t += s[l];
  }
  return t;
}

__attribute__((target("avx512f"))) float peakAvx512(int64_t rounds) {
  alignas(64) static float weights[8][16];
  for (int k = 0; k < 8; ++k) {
    for (float& w : weights[k]) w = 0.001f * static_cast<float>(k + 1);
  }
  V16 s0{}, s1{}, s2{}, s3{}, s4{}, s5{}, s6{}, s7{};  // registers, not an array in memory
  const V16 x = 0.0005f - V16{};
  for (int64_t n = 0; n < rounds; ++n) {
    asm volatile(FUZZYART_PEAK_STEP(0, 64, "zmm20") FUZZYART_PEAK_STEP(1, 64, "zmm21")
                     FUZZYART_PEAK_STEP(2, 64, "zmm22") FUZZYART_PEAK_STEP(3, 64, "zmm23")
                         FUZZYART_PEAK_STEP(4, 64, "zmm24") FUZZYART_PEAK_STEP(5, 64, "zmm25")
                             FUZZYART_PEAK_STEP(6, 64, "zmm26") FUZZYART_PEAK_STEP(7, 64, "zmm27")
                 : [s0] "+v"(s0), [s1] "+v"(s1), [s2] "+v"(s2), [s3] "+v"(s3), [s4] "+v"(s4), [s5] "+v"(s5),
                   [s6] "+v"(s6), [s7] "+v"(s7)
                 : [w] "r"(&weights[0][0]), [x] "v"(x), "m"(weights)
                 : "zmm20", "zmm21", "zmm22", "zmm23", "zmm24", "zmm25", "zmm26", "zmm27");
  }
  return total({s0, s1, s2, s3, s4, s5, s6, s7});
}

__attribute__((target("avx2"))) float peakAvx2(int64_t rounds) {
  alignas(64) static float weights[8][8];
  for (int k = 0; k < 8; ++k) {
    for (float& w : weights[k]) w = 0.001f * static_cast<float>(k + 1);
  }
  V8 s0{}, s1{}, s2{}, s3{}, s4{}, s5{}, s6{}, s7{};  // registers, not an array in memory
  const V8 x = 0.0005f - V8{};
  for (int64_t n = 0; n < rounds; ++n) {
    // Sixteen registers: the temporaries alternate (renaming keeps the
    // steps independent).
    asm volatile(FUZZYART_PEAK_STEP(0, 32, "ymm14") FUZZYART_PEAK_STEP(1, 32, "ymm15")
                     FUZZYART_PEAK_STEP(2, 32, "ymm14") FUZZYART_PEAK_STEP(3, 32, "ymm15")
                         FUZZYART_PEAK_STEP(4, 32, "ymm14") FUZZYART_PEAK_STEP(5, 32, "ymm15")
                             FUZZYART_PEAK_STEP(6, 32, "ymm14") FUZZYART_PEAK_STEP(7, 32, "ymm15")
                 : [s0] "+x"(s0), [s1] "+x"(s1), [s2] "+x"(s2), [s3] "+x"(s3), [s4] "+x"(s4), [s5] "+x"(s5),
                   [s6] "+x"(s6), [s7] "+x"(s7)
                 : [w] "r"(&weights[0][0]), [x] "x"(x), "m"(weights)
                 : "ymm14", "ymm15");
  }
  return total({s0, s1, s2, s3, s4, s5, s6, s7});
}

void BM_Peak(benchmark::State& state) {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx2")) {
    state.SkipWithError("needs AVX2");
    return;
  }
  const bool wide = __builtin_cpu_supports("avx512f");
  float (*loop)(int64_t) = wide ? peakAvx512 : peakAvx2;
  const int width = wide ? 16 : 8;
  const int64_t rounds = 1 << 20;
  for (auto _ : state) benchmark::DoNotOptimize(loop(rounds));
  state.SetLabel(wide ? "avx512 vminps m512" : "avx2 vminps m256");
  state.SetItemsProcessed(state.iterations() * rounds * 8 * width);
}
BENCHMARK(BM_Peak);

}  // namespace
