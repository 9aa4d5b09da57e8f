#include "engine/choice_kernel.h"

#include <cstring>

namespace fuzzyart {

namespace {

// Sixteen single-precision lanes: one per category of a tile. On narrower
// targets the compiler splits the type into two or four registers; each lane
// still sees the same sequence of operations.
typedef float Lanes __attribute__((vector_size(64)));

constexpr int kLanes = CategoryTable::kLanes;

// G tiles at a time, so that G independent chains of additions hide the
// latency of each addition.
template <int G>
inline __attribute__((always_inline)) void tileGroup(const CategoryTable& table, int firstTile, const float* input,
                                                     ChoiceScratch& out) {
  const float* tiles[G];
  Lanes sums[G];
  for (int g = 0; g < G; ++g) {
    tiles[g] = table.tile(firstTile + g);
    sums[g] = Lanes{};
  }
  const int length = table.length();
  for (int i = 0; i < length; ++i) {
    Lanes x = Lanes{} + input[i];
    for (int g = 0; g < G; ++g) {
      Lanes w;
      std::memcpy(&w, tiles[g] + static_cast<size_t>(i) * kLanes, sizeof w);
      // min(I_i, w_ji) is I_i when I_i < w_ji, else w_ji.
      sums[g] = sums[g] + (x < w ? x : w);
    }
  }
  for (int g = 0; g < G; ++g) {
    int first = (firstTile + g) * kLanes;
    Lanes denominators;
    std::memcpy(&denominators, table.denominators() + first, sizeof denominators);
    Lanes choices = sums[g] / denominators;
    std::memcpy(out.numerators + first, &sums[g], sizeof choices);
    std::memcpy(out.choices + first, &choices, sizeof choices);
  }
}

inline __attribute__((always_inline)) void kernelBody(const CategoryTable& table, const float* input,
                                                      ChoiceScratch& out) {
  const int tiles = table.tileCount();
  int t = 0;
  for (; t + 4 <= tiles; t += 4) tileGroup<4>(table, t, input, out);
  switch (tiles - t) {
    case 3:
      tileGroup<3>(table, t, input, out);
      break;
    case 2:
      tileGroup<2>(table, t, input, out);
      break;
    case 1:
      tileGroup<1>(table, t, input, out);
      break;
    default:
      break;
  }
}

__attribute__((target("avx512f"))) void kernelAvx512(const CategoryTable& table, const float* input,
                                                     ChoiceScratch& out) {
  kernelBody(table, input, out);
}

__attribute__((target("avx2"))) void kernelAvx2(const CategoryTable& table, const float* input, ChoiceScratch& out) {
  kernelBody(table, input, out);
}

void kernelBaseline(const CategoryTable& table, const float* input, ChoiceScratch& out) {
  kernelBody(table, input, out);
}

const ChoiceKernelTarget* buildTargets() {
  __builtin_cpu_init();
  static const ChoiceKernelTarget targets[] = {
      {"avx512", kernelAvx512, __builtin_cpu_supports("avx512f") != 0},
      {"avx2", kernelAvx2, __builtin_cpu_supports("avx2") != 0},
      {"sse2", kernelBaseline, true},
  };
  return targets;
}

}  // namespace

std::span<const ChoiceKernelTarget> choiceKernelTargets() {
  static const ChoiceKernelTarget* targets = buildTargets();
  return {targets, 3};
}

const ChoiceKernelTarget& activeChoiceKernel() {
  static const ChoiceKernelTarget* active = [] {
    for (const auto& target : choiceKernelTargets()) {
      if (target.supported) return &target;
    }
    return &choiceKernelTargets().back();
  }();
  return *active;
}

}  // namespace fuzzyart
