// The order in which a shuffled learning pass presents the rows: a keyed
// bijection on 0..n-1 computed index by index, so that no array of n indices
// is ever held and a file of fixed-size records can be read in that order.
//
// The generator, fixed here so that the library, the Python package and the
// command line (and any other implementation) draw the same order:
//
//   mix(z)      = z ^= z >> 30; z *= 0xBF58476D1CE4E5B9;
//                 z ^= z >> 27; z *= 0x94D049BB133111EB; z ^ (z >> 31)
//                 (the SplitMix64 finaliser, arithmetic modulo 2^64)
//   SplitMix64  : state += 0x9E3779B97F4A7C15, then output mix(state)
//   keys        : g = SplitMix64 from state `seed`; s = first output of g;
//                 h = SplitMix64 from state s + pass (pass counted from 1);
//                 k0..k3 = the first four outputs of h
//   half width  : b = the smallest number of bits, at least 1, with
//                 2^(2b) >= n; mask = 2^b - 1
//   E(x)        : L = x >> b, R = x & mask; four rounds i = 0..3 of
//                 (L, R) = (R, L ^ (mix(R ^ k_i) & mask)); result (L << b) | R
//   order(i)    : x = E(i); while x >= n: x = E(x)   (cycle walking)
//
// E permutes 0..2^(2b)-1, so cycle walking from an index below n always ends
// at an index below n, and distinct starts end at distinct indices: order is
// a permutation of 0..n-1. As 2^(2b) < 4n (for n >= 2), it takes fewer than
// four rounds of E per index on average. Every pass draws its own order.
#pragma once

#include <array>
#include <cstdint>

namespace fuzzyart {

class PresentationOrder {
 public:
  // The order of pass `pass` (from 1) over n rows for a seed.
  PresentationOrder(uint64_t n, uint64_t seed, uint64_t pass);

  uint64_t size() const { return n_; }
  // The row presented at place i, 0 <= i < size().
  uint64_t operator[](uint64_t i) const;

 private:
  uint64_t encrypt(uint64_t x) const;

  uint64_t n_;
  int halfBits_ = 1;
  uint64_t mask_ = 1;
  std::array<uint64_t, 4> keys_{};
};

}  // namespace fuzzyart
