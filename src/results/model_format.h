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
// A supervised model (kind fuzzyartmap) has the same lines with three more
// between max-categories and categories, and its class after each count:
//
//   epsilon 1e-10               match tracking's step (a double)
//   match-tracking MT+          MT+, MT- or MT0
//   classes text 2 setosa a%20b the kind of the class values (whole, number
//                               or text), their count, then each value
//   categories 2
//   50 0 1 0.5 0 0 0.4 1        per category: its count, its class (an index
//   100 1 0.2 0 0.6 0.7 1 0.3   into the classes, from 0), every weight
//   end
//
// A text class is written with every byte up to the blank, from DEL up, and
// the percent sign as %XX (two upper-case hex digits), so that any bytes
// make one field of printable ASCII; the empty text is a lone "%". The
// reader takes a whole class as an int64 and a number class as a double,
// each to the end of its field, and refuses two classes of equal value. A
// class index says nothing about a value's order: the classes keep the order
// they were written in.
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
#include <vector>

#include "fuzzyart/supervised_model_file.h"
#include "fuzzyart/supervised_network.h"

namespace fuzzyart::model_format {

inline constexpr std::string_view kFormat = "fuzzyart-model";
inline constexpr int kVersion = 1;
inline constexpr std::string_view kKind = "fuzzyart";
inline constexpr std::string_view kSupervisedKind = "fuzzyartmap";
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

// The keys of a supervised model's own lines. They are not line numbers: in
// such a file they come right before the categories line, which is then
// line 20.
enum SupervisedLine : int { kEpsilonLine = kFirstCategoryLine + 1, kMatchTrackingLine, kClassesLine };

// The key that begins a line of the fixed part or a SupervisedLine
// (kFormatLine's is the format name).
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
// A supervised model's: the lines above with a supervised network's own
// bounds (Beta at most 1, Alpha not negative, the next Beta above 0, since
// learning cannot go on from 0), and kEpsilonLine's.
std::string supervisedParameterFault(int line, double value);
std::string categoriesFault(int64_t categories, int64_t maxCategories);
// A category's count and weights: the count not negative, every weight
// finite and at most 1. Learning never raises a weight above the input it
// was made from (at most 1), but with Beta above 1 it may drive one below 0
// without bound, so no lower bound is a rule.
std::string categoryFault(int64_t count, std::span<const float> weights);

// The shortest text of a float (or double) that reads back to its bits.
std::string floatText(float value);
std::string doubleText(double value);

std::string_view trackingText(MatchTracking tracking);
// False for a text that names none.
bool readTracking(std::string_view text, MatchTracking& tracking);
std::string_view classKindText(ClassKind kind);
bool readClassKind(std::string_view text, ClassKind& kind);

// A class value as its field, and back (false for a field that is no
// escaped text).
std::string escapedClass(std::string_view value);
bool unescapeClass(std::string_view field, std::string& value);
// Every class reads as its kind, and no two are equal.
std::string classesFault(ClassKind kind, std::span<const std::string> classes);
// A category's class index within the classes.
std::string labelFault(int64_t label, size_t classes);

}  // namespace fuzzyart::model_format
