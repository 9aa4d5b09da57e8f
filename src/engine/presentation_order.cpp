#include "fuzzyart/presentation_order.h"

namespace fuzzyart {

namespace {

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ULL;

uint64_t mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t state) : state_(state) {}
  uint64_t next() {
    state_ += kGolden;
    return mix(state_);
  }

 private:
  uint64_t state_;
};

}  // namespace

PresentationOrder::PresentationOrder(uint64_t n, uint64_t seed, uint64_t pass) : n_(n) {
  SplitMix64 first(seed);
  SplitMix64 keys(first.next() + pass);
  for (uint64_t& key : keys_) key = keys.next();
  // 2b bits reach n - 1; b stops at 32, where 2^64 covers every n.
  while (halfBits_ < 32 && (n - 1) >> (2 * halfBits_) != 0) ++halfBits_;
  mask_ = (uint64_t{1} << halfBits_) - 1;
}

uint64_t PresentationOrder::encrypt(uint64_t x) const {
  uint64_t left = x >> halfBits_;
  uint64_t right = x & mask_;
  for (const uint64_t key : keys_) {
    const uint64_t next = left ^ (mix(right ^ key) & mask_);
    left = right;
    right = next;
  }
  return (left << halfBits_) | right;
}

uint64_t PresentationOrder::operator[](uint64_t i) const {
  uint64_t x = encrypt(i);
  while (x >= n_) x = encrypt(x);
  return x;
}

}  // namespace fuzzyart
