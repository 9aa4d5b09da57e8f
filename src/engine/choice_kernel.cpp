#include "engine/choice_kernel.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace fuzzyart {

namespace {

// Native vectors of each target: a tile of 16 categories is 16 / W of them.
typedef float V16 __attribute__((vector_size(64)));
typedef float V8 __attribute__((vector_size(32)));
typedef float V4 __attribute__((vector_size(16)));
typedef int32_t VI16 __attribute__((vector_size(64)));
typedef int32_t VI8 __attribute__((vector_size(32)));
typedef int32_t VI4 __attribute__((vector_size(16)));

constexpr int kLanes = CategoryTable::kLanes;

#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512bw,avx512vl")
namespace avx512 {
#include "engine/choice_kernel_variant.inc"
void kernel(const CategoryTable& table, const float* input, ChoiceScratch& out) {
  kernelBody<V16, 8>(table, input, out);
}
Candidate search(const CategoryTable& table, int firstTile, int endTile, const float* input, float threshold) {
  return searchBody<V16, VI16, 8>(table, firstTile, endTile, input, threshold);
}
void numerators(const CategoryTable& table, int firstTile, int endTile, const float* const* inputs, int rows,
                float* const* out) {
  batchBody<V16, 4>(table, firstTile, endTile, inputs, rows, out);
}
Candidate select(const float* numerators, const float* denominators, int count, float threshold) {
  return selectBody<V16, VI16>(numerators, denominators, count, threshold);
}
void update(CategoryTable& table, int winner, const float* input, float beta, float oneMinusBeta) {
  updateBody<V16, VI16>(table, winner, input, beta, oneMinusBeta);
}
}  // namespace avx512
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2 {
#include "engine/choice_kernel_variant.inc"
void kernel(const CategoryTable& table, const float* input, ChoiceScratch& out) {
  kernelBody<V8, 3>(table, input, out);
}
Candidate search(const CategoryTable& table, int firstTile, int endTile, const float* input, float threshold) {
  return searchBody<V8, VI8, 3>(table, firstTile, endTile, input, threshold);
}
void numerators(const CategoryTable& table, int firstTile, int endTile, const float* const* inputs, int rows,
                float* const* out) {
  batchBody<V8, 1>(table, firstTile, endTile, inputs, rows, out);
}
Candidate select(const float* numerators, const float* denominators, int count, float threshold) {
  return selectBody<V8, VI8>(numerators, denominators, count, threshold);
}
void update(CategoryTable& table, int winner, const float* input, float beta, float oneMinusBeta) {
  updateBody<V8, VI8>(table, winner, input, beta, oneMinusBeta);
}
}  // namespace avx2
#pragma GCC pop_options

namespace baseline {
#include "engine/choice_kernel_variant.inc"
void kernel(const CategoryTable& table, const float* input, ChoiceScratch& out) {
  kernelBody<V4, 2>(table, input, out);
}
Candidate search(const CategoryTable& table, int firstTile, int endTile, const float* input, float threshold) {
  return searchBody<V4, VI4, 2>(table, firstTile, endTile, input, threshold);
}
void numerators(const CategoryTable& table, int firstTile, int endTile, const float* const* inputs, int rows,
                float* const* out) {
  batchBody<V4, 1>(table, firstTile, endTile, inputs, rows, out);
}
Candidate select(const float* numerators, const float* denominators, int count, float threshold) {
  return selectBody<V4, VI4>(numerators, denominators, count, threshold);
}
void update(CategoryTable& table, int winner, const float* input, float beta, float oneMinusBeta) {
  updateBody<V4, VI4>(table, winner, input, beta, oneMinusBeta);
}
}  // namespace baseline

// The AVX-512 variant uses the foundation with the DQ, BW and VL extensions
// (mask registers turned into vectors), which every processor since the
// first server generation with AVX-512 has.
bool avx512Supported() {
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
         __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
}

const ChoiceKernelTarget* buildTargets() {
  __builtin_cpu_init();
  static const ChoiceKernelTarget targets[] = {
      {"avx512", avx512::kernel, avx512::search, avx512::numerators, avx512::select, avx512::update,
       avx512Supported()},
      {"avx2", avx2::kernel, avx2::search, avx2::numerators, avx2::select, avx2::update,
       __builtin_cpu_supports("avx2") != 0},
      {"sse2", baseline::kernel, baseline::search, baseline::numerators, baseline::select, baseline::update, true},
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
