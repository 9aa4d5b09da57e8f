#include "data/row_reader.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fuzzyart {

namespace {

// Blanks, tabs and commas separate the fields of a line; CR and LF may
// stand anywhere but never separate two values.
enum CharClass : unsigned char { kSeparator, kLineEnd, kBadChar, kMark, kValueStart, kComment };

struct CharTable {
  CharClass classes[256];
  constexpr CharTable() : classes() {
    for (auto& c : classes) c = kBadChar;
    for (char c : {' ', '\t', ','}) classes[static_cast<unsigned char>(c)] = kSeparator;
    for (char c : {'\r', '\n'}) classes[static_cast<unsigned char>(c)] = kLineEnd;
    // Allowed within a number or in the text glued to one, never alone.
    for (char c : {'+', 'e', 'E'}) classes[static_cast<unsigned char>(c)] = kMark;
    for (char c = '0'; c <= '9'; ++c) classes[static_cast<unsigned char>(c)] = kValueStart;
    classes[static_cast<unsigned char>('-')] = kValueStart;
    classes[static_cast<unsigned char>('.')] = kValueStart;
    classes[static_cast<unsigned char>('!')] = kComment;
  }
  CharClass operator[](char c) const { return classes[static_cast<unsigned char>(c)]; }
};

constexpr CharTable kChars;

// Once a line is known to be bad, a "!" anywhere in it still makes it a
// comment.
LineKind badOrComment(const char* from, const char* end) {
  return std::memchr(from, '!', static_cast<size_t>(end - from)) != nullptr ? LineKind::kComment : LineKind::kBad;
}

// More characters than a line may hold: a piece of a longer line, without
// its line feed, or a whole one.
bool tooLong(std::string_view line) {
  return line.size() > kMaxLineLength + static_cast<size_t>(!line.empty() && line.back() == '\n');
}

}  // namespace

namespace {

constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// readShortDecimal for a value that ends within the 8 bytes at first (or
// right after them), all 8 of which exist: the digits are found and turned
// into an integer a word at a time, without a loop over the characters.
// Returns 0 for anything else, which the loop over the characters then
// reads.
inline size_t readEightBytes(const char* first, const char* end, uint32_t& mantissa, float& power) {
  uint64_t word;
  std::memcpy(&word, first, sizeof word);
  // Byte k is the k-th character (little-endian). A digit becomes 0 to 9;
  // a byte's top bit in nonDigits marks a character that is no digit.
  const uint64_t x = word ^ 0x3030303030303030;
  const uint64_t nonDigits = ((((x & 0xF0F0F0F0F0F0F0F0) >> 1) + 0x7878787878787878) |
                              (((x & 0x0F0F0F0F0F0F0F0F) + 0x0606060606060606) << 3)) &
                             0x8080808080808080;
  if (nonDigits == 0) return 0;
  const int whole = __builtin_ctzll(nonDigits) / 8;  // digits before the first other character
  int fraction = 0;
  size_t used = static_cast<size_t>(whole);
  char next = first[whole];
  if (next == '.') {
    const uint64_t rest = nonDigits & ~(uint64_t{0x80} << (8 * whole));
    if (rest != 0) {
      fraction = __builtin_ctzll(rest) / 8 - whole - 1;
      used = static_cast<size_t>(whole + 1 + fraction);
      next = first[used];
    } else {
      fraction = 7 - whole;
      used = 8;
      next = first + 8 < end ? first[8] : ' ';
      if (static_cast<unsigned char>(next - '0') < 10) return 0;
    }
  }
  const int digits = whole + fraction;
  if (digits == 0 || next == '.' || next == 'e' || next == 'E') return 0;
  // The digits side by side (the point taken out), then right-aligned
  // behind leading zeros as an 8-digit number.
  const uint64_t wholeMask = (uint64_t{1} << (8 * whole)) - 1;
  const uint64_t digitMask = (uint64_t{1} << (8 * digits)) - 1;
  uint64_t v = ((x & wholeMask) | ((x >> 8) & digitMask & ~wholeMask)) << (8 * (8 - digits));
  v = v * 10 + (v >> 8);
  v = (((v & 0x000000FF000000FF) * 0x000F424000000064) + (((v >> 16) & 0x000000FF000000FF) * 0x0000271000000001)) >>
      32;
  const auto m = static_cast<uint32_t>(v);
  if (m > (uint32_t{1} << 24)) return 0;
  mantissa = m;
  power = kPowersOfTen[fraction];
  return used;
}

// Most values of a data file are short decimals without an exponent: their
// digits make an integer of at most 2^24 and at most 9 of them follow the
// point, so the integer and the power of ten are exact floats and one
// division rounds correctly (Clinger's fast path). Reads such a value at
// text (after its sign) into its digits and power of ten and returns the
// characters used, or 0 when the value is not of that form.
inline size_t readShortDecimal(const char* first, const char* end, uint32_t& mantissa, float& power) {
  if (end - first >= 8) {
    if (const size_t used = readEightBytes(first, end, mantissa, power)) return used;
  }
  const char* p = first;
  uint32_t m = 0;
  int digits = 0;
  int fraction = 0;
  for (; p < end && static_cast<unsigned char>(*p - '0') < 10 && digits < 9; ++p, ++digits) m = m * 10 + (*p - '0');
  if (p < end && *p == '.') {
    for (++p; p < end && static_cast<unsigned char>(*p - '0') < 10 && digits < 9; ++p, ++digits, ++fraction) {
      m = m * 10 + (*p - '0');
    }
  }
  const bool more = p < end && (static_cast<unsigned char>(*p - '0') < 10 || *p == '.' || *p == 'e' || *p == 'E');
  if (digits == 0 || more || m > (uint32_t{1} << 24)) return 0;
  mantissa = m;
  power = kPowersOfTen[fraction];
  return static_cast<size_t>(p - first);
}

// The general case: fast_float's from_chars reads the grammar of
// std::from_chars, correctly rounded, at about twice its speed; out of range
// it gives infinity or the nearest subnormal or zero, as strtof does.
size_t convertGeneral(const char* begin, const char* end, float& value) {
  auto [ptr, ec] = fast_float::from_chars(begin, end, value, fast_float::chars_format::general);
  if (ec == std::errc::invalid_argument) return 0;
  if (ec == std::errc::result_out_of_range) {
    // Versions that report the range instead: let the C library's conversion
    // tell overflow (infinity) from underflow (the nearest subnormal or zero).
    std::string token(begin, ptr);
    value = std::strtof(token.c_str(), nullptr);
  }
  return static_cast<size_t>(ptr - begin);
}

// A number starts with a digit or "." after its sign: from_chars also reads
// "-nan" and "-inf", whose letters no data line may hold.
inline bool startsNumber(const char* first, const char* end) {
  return first < end && (static_cast<unsigned char>(*first - '0') < 10 || *first == '.');
}

}  // namespace

size_t convertFloat(std::string_view text, float& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  const char* first = begin < end && *begin == '-' ? begin + 1 : begin;
  if (!startsNumber(first, end)) return 0;
  uint32_t mantissa;
  float power;
  if (const size_t used = readShortDecimal(first, end, mantissa, power)) {
    const float magnitude = static_cast<float>(mantissa) / power;
    value = first != begin ? -magnitude : magnitude;
    return static_cast<size_t>(first - begin) + used;
  }
  return convertGeneral(begin, end, value);
}

namespace {

// The scanner proper. Where minus signs come seldom, a branch on each costs
// nothing; where they come often, and so at random, it would be mispredicted
// every other value, and kSignsAtRandom reads the sign without one, at the
// price of waiting for the sign's character before reading the digits.
template <bool kSignsAtRandom>
LineKind scanValues(const char* p, const char* end, float* values, int32_t& count, int64_t& negatives, bool& glued) {
  // Counted in a register, not through the reference: a store and load of
  // the count for every value sat on the path from one value to the next.
  int32_t n = 0;
  const auto ends = [&](LineKind kind) {
    count = n;
    return kind;
  };
  for (;;) {
    while (p < end && kChars[*p] <= kLineEnd) ++p;
    if (p == end) return ends(LineKind::kValues);
    // Every field begins with a number: its sign ("+" or "-"), then a digit
    // or a point. Anything else there, a mark standing alone or a letter
    // outside a number, makes the line bad.
    const char* first;
    if constexpr (kSignsAtRandom) {
      first = p + ((*p == '-') | (*p == '+'));
    } else {
      first = *p == '-' || *p == '+' ? p + 1 : p;
    }
    const bool negative = *p == '-';
    if (!startsNumber(first, end)) return ends(badOrComment(p, end));
    uint32_t mantissa;
    float power;
    if (const size_t used = readShortDecimal(first, end, mantissa, power)) {
      if (n < kMaxInputLength) {
        // Divided here: gathering a line's divisions into vector ones read
        // back values just stored one by one, which waited on the stores.
        // The sign goes on the quotient without a branch (division rounds
        // alike either side of zero).
        const float magnitude = static_cast<float>(mantissa) / power;
        uint32_t bits;
        std::memcpy(&bits, &magnitude, sizeof bits);
        bits ^= static_cast<uint32_t>(negative) << 31;
        std::memcpy(&values[n], &bits, sizeof bits);
      }
      p = first + used;
      negatives += negative;
    } else {
      // fast_float takes a "-" but no "+".
      const char* const number = negative ? p : first;
      float value;
      const size_t whole = convertGeneral(number, end, value);
      // A point without a digit after it begins no number; a value beyond
      // single precision would poison the ranges in silence.
      if (whole == 0 || std::isinf(value)) return ends(badOrComment(p, end));
      if (n < kMaxInputLength) values[n] = value;
      p = number + whole;
    }
    if (n < INT32_MAX) ++n;
    // Text glued to a value is passed over up to the next separator.
    while (p < end && kChars[*p] != kSeparator) {
      CharClass c = kChars[*p];
      if (c == kComment) return ends(LineKind::kComment);
      if (c == kBadChar) return ends(badOrComment(p, end));
      glued |= c != kLineEnd;
      ++p;
    }
  }
}

}  // namespace

LineKind scanDataLine(std::string_view line, float* values, int32_t& count, bool* glued) {
  count = 0;
  if (tooLong(line)) return LineKind::kBad;
  int64_t negatives = 0;
  bool text = false;
  const LineKind kind = scanValues<false>(line.data(), line.data() + line.size(), values, count, negatives, text);
  if (glued != nullptr) *glued = text && kind == LineKind::kValues;
  return kind;
}

LineKind scanDataLine(std::string_view line, float* values, int32_t& count, SignTally& signs, bool* glued) {
  count = 0;
  if (tooLong(line)) return LineKind::kBad;
  const char* const end = line.data() + line.size();
  bool text = false;
  const LineKind kind = signs.negatives * 4 > signs.values
                            ? scanValues<true>(line.data(), end, values, count, signs.negatives, text)
                            : scanValues<false>(line.data(), end, values, count, signs.negatives, text);
  if (kind == LineKind::kValues) signs.values += count;
  if (glued != nullptr) *glued = text && kind == LineKind::kValues;
  return kind;
}

namespace {

constexpr size_t kFieldShown = 40;

bool isFieldEnd(char c) { return kChars[c] == kSeparator || kChars[c] == kLineEnd; }

// The first field of a line (between blanks, tabs, commas and the line's
// end) that scanned alone is bad, or with `glued` holds text after its
// number; its number from 1 and its first bytes, or 0.
int findField(std::string_view line, bool glued, std::string& field) {
  std::vector<float> values(kRowBufferSize);
  int number = 0;
  size_t p = 0;
  while (p < line.size()) {
    while (p < line.size() && isFieldEnd(line[p])) ++p;
    if (p == line.size()) break;
    size_t q = p;
    while (q < line.size() && !isFieldEnd(line[q])) ++q;
    ++number;
    const std::string_view text = line.substr(p, q - p);
    int32_t count = 0;
    bool hasText = false;
    const LineKind kind = scanDataLine(text, values.data(), count, &hasText);
    if (glued ? hasText : kind != LineKind::kValues) {
      field.assign(text.substr(0, kFieldShown));
      return number;
    }
    p = q;
  }
  return 0;
}

bool holdsLetter(std::string_view line) {
  return std::any_of(line.begin(), line.end(), [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; });
}

}  // namespace

TextPlaces findTextPlaces(TextFile& file, int64_t badRow, int64_t gluedRow) {
  TextPlaces places;
  if (!file.rewind()) return places;
  std::vector<float> values(kRowBufferSize);
  std::string_view line;
  int64_t lineNumber = 1;
  int64_t dataRow = 0;
  int32_t firstCount = 0;
  bool lineStart = true;
  while (file.nextLine(line)) {
    const int64_t here = lineNumber;
    // A piece of a longer line belongs to the line it began.
    const bool starts = lineStart;
    lineStart = !line.empty() && line.back() == '\n';
    if (lineStart) ++lineNumber;
    int32_t count = 0;
    const LineKind kind = scanDataLine(line, values.data(), count);
    if (places.endLine != 0) {
      if (starts) places.linesAfter += 1;
      places.valueAfter = places.valueAfter || kind == LineKind::kBad || (kind == LineKind::kValues && count > 0);
      continue;
    }
    if (kind == LineKind::kComment) continue;
    if (kind == LineKind::kValues && count == 0) {
      places.endLine = here;
      continue;
    }
    if (dataRow == 0) firstCount = count;
    if (dataRow == badRow) {
      BadRowPlace& bad = places.bad;
      bad.line = here;
      bad.holdsLetters = holdsLetter(line);
      if (kind == LineKind::kBad) {
        bad.value = findField(line, false, bad.field);
      } else {
        bad.values = count;
        bad.firstRowValues = firstCount;
      }
      return places;
    }
    if (dataRow == gluedRow) {
      places.gluedLine = here;
      findField(line, true, places.gluedField);
    }
    ++dataRow;
  }
  return places;
}

int32_t readDataRow(float* values, TextFile& in, RowShape& shape, Observer* observer) {
  std::string_view line;
  int32_t count = 0;
  for (;;) {
    if (!in.nextLine(line)) {
      values[0] = 0.0f;
      return 0;
    }
    LineKind kind = scanDataLine(line, values, count);
    if (kind == LineKind::kComment) continue;
    if (kind == LineKind::kBad) return -2;
    break;
  }
  return finishDataRow(values, line, count, shape, observer);
}

int32_t finishDataRow(float* values, std::string_view line, int32_t count, RowShape& shape, Observer* observer) {
  values[count < kMaxInputLength ? count : kMaxInputLength] = 0.0f;
  return checkDataRow(line, count, shape, observer);
}

int32_t checkDataRow(std::string_view line, int32_t count, RowShape& shape, Observer* observer) {
  if (shape.variableCount != 0 && count != 0 && count != shape.columnCount) {
    DetailedObserver* const detailed = detailedObserver(observer);
    if (detailed != nullptr) detailed->onRowMismatch(line, count, shape.columnCount);
    return -1;
  }
  if (shape.variableCount == 0) {
    shape.variableCount = count;
    shape.columnCount = count;
  }
  return count;
}

}  // namespace fuzzyart
