// The model file's layout: its constants, the lines of its fixed part, and
// the rules its values keep. The writer refuses a model that breaks a rule
// and the reader a file that does, through the same functions, so that
// every file written reads back.
//
//   fuzzyart-model 1            the format and its version
//   kind fuzzyart               the network's kind: it fixes the keys below
//                               and the layout of the category lines
//   columns 4                   values of a raw data row
//   normalise no                rows divided by their sum first (yes or no)
//   complement yes              complement coding (yes or no)
//   used 1 2 4                  the used columns, from 1, ascending
//   min 4.3 2 0.1               per used column, the range rows are scaled with
//   max 7.9 4.4 2.5
//   alpha 0                     the choice parameter
//   beta 0.9                    the learning rate of the first pass, as set
//   next-beta 0.9               the learning rate of the next pass
//   vigilance 0.75
//   itp 1                       Beta's factor after every pass
//   iterations 10               passes of a whole learning
//   passes 10                   passes learnt
//   max-categories 1024
//   categories 2
//   50 1 0.5 0 0 0.4 1          per category: its count, then every weight
//   100 0.2 0 0.6 0.7 1 0.3     (inputLength of them)
//   end
//
// Fields are written with one blank between them and every line with a line
// feed; the reader also takes runs of blanks and tabs, and CR LF. Floats are
// written by std::to_chars (the shortest text that reads back to the same
// bits) and read by std::from_chars: never through the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace fuzzyart::model_format {

inline constexpr std::string_view kFormat = "fuzzyart-model";
inline constexpr int kVersion = 1;
inline constexpr std::string_view kKind = "fuzzyart";
inline constexpr std::string_view kEnd = "end";
inline constexpr std::string_view kYes = "yes";
inline constexpr std::string_view kNo = "no";

// The longest line read: a category of 8192 weights takes at most
// 8192 x 16 + 21 bytes.
inline constexpr size_t kMaxLineBytes = size_t{1} << 20;

// The lines of the fixed part, counted from 1 as messages count them; the
// category lines follow from kFirstCategoryLine on, then the end line.
enum Line : int {
  kFormatLine = 1,
  kKindLine,
  kColumnsLine,
  kNormaliseLine,
  kComplementLine,
  kUsedLine,
  kMinLine,
  kMaxLine,
  kAlphaLine,
  kBetaLine,
  kNextBetaLine,
  kVigilanceLine,
  kItpLine,
  kIterationsLine,
  kPassesLine,
  kMaxCategoriesLine,
  kCategoriesLine,
  kFirstCategoryLine
};

// The key that begins a line of the fixed part (kFormatLine's is the format
// name).
std::string_view keyOf(int line);

// True for the lines from kAlphaLine to kItpLine, whose value is a float;
// those from kIterationsLine to kMaxCategoriesLine hold a whole number.
inline bool holdsFloat(int line) { return line >= kAlphaLine && line <= kItpLine; }

// The rules, each giving why a value breaks it, or an empty text when it
// keeps it.
std::string columnsFault(int64_t columns);
// The used columns (from 0) of a row of `columns` values.
std::string usedFault(std::span<const int> used, int columns, bool complementCoding);
// The bounds of one range line, each finite.
std::string boundsFault(std::span<const float> bounds);
// Every max above its min.
std::string rangeFault(std::span<const float> min, std::span<const float> max);
// The value of a parameter line, kAlphaLine to kMaxCategoriesLine.
std::string parameterFault(int line, double value);
std::string categoriesFault(int64_t categories, int64_t maxCategories);
// A category's count and weights: the count not negative, every weight
// finite and at most 1. Learning never raises a weight above the input it
// was made from (at most 1), but with Beta above 1 it may drive one below 0
// without bound, so no lower bound is a rule.
std::string categoryFault(int64_t count, std::span<const float> weights);

// The shortest text of a float that reads back to its bits.
std::string floatText(float value);

}  // namespace fuzzyart::model_format
