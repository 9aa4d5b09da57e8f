// What the search decides for one row against the categories, and the test a
// category's match must pass for it.
#pragma once

namespace fuzzyart {

enum class Outcome {
  kResonance,        // winner is the category that passed the match test
  kNoCategory,       // every category was reset (or none can compete)
  kZeroInputSum,     // a category was to be tested but Alpha + |I| is zero
  kZeroCategorySum,  // a category's Alpha + |w| is zero: no choice value exists
};

struct Decision {
  Outcome outcome = Outcome::kNoCategory;
  int winner = -1;
};

// The match test: the match |I ^ w_J| / (Alpha + |I|), in double precision
// without rounding to single first, must not be below the vigilance, or with
// strict must be above it. Learning and recall test against the network's
// vigilance; a supervised network raises it for a row after a category of
// another label won (match tracking).
struct MatchTest {
  double vigilance = 0.5;
  bool strict = false;
};

}  // namespace fuzzyart
