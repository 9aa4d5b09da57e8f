#include "data/row_reader.h"

#include <fast_float/fast_float.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace fuzzyart {

namespace {

enum CharClass : unsigned char { kBadChar, kSeparator, kPassedOver, kValueStart, kComment };

struct CharTable {
  CharClass classes[256];
  constexpr CharTable() : classes() {
    for (auto& c : classes) c = kBadChar;
    for (char c : {' ', '\t', ','}) classes[static_cast<unsigned char>(c)] = kSeparator;
    // "+", "e" and "E" before a value are passed over like separators; CR and
    // LF are accepted but never separate two values.
    for (char c : {'+', 'e', 'E', '\r', '\n'}) classes[static_cast<unsigned char>(c)] = kPassedOver;
    for (char c = '0'; c <= '9'; ++c) classes[static_cast<unsigned char>(c)] = kValueStart;
    classes[static_cast<unsigned char>('-')] = kValueStart;
    classes[static_cast<unsigned char>('.')] = kValueStart;
    classes[static_cast<unsigned char>('!')] = kComment;
  }
  CharClass operator[](char c) const { return classes[static_cast<unsigned char>(c)]; }
};

constexpr CharTable kChars;

// Once a foreign character is seen, the line is bad unless a "!" anywhere in
// it makes it a comment.
LineKind badOrComment(const char* from, const char* end) {
  return std::memchr(from, '!', static_cast<size_t>(end - from)) != nullptr ? LineKind::kComment : LineKind::kBad;
}

// Checks the rest of a line after its values have ended.
LineKind finishLine(const char* p, const char* end) {
  for (; p < end; ++p) {
    CharClass c = kChars[*p];
    if (c == kComment) return LineKind::kComment;
    if (c == kBadChar) return badOrComment(p, end);
  }
  return LineKind::kValues;
}

}  // namespace

size_t convertFloat(std::string_view text, float& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  // from_chars also reads "-nan" and "-inf", whose letters no data line may
  // hold: a number starts with a digit or "." after its sign.
  const char* first = begin < end && *begin == '-' ? begin + 1 : begin;
  if (first == end || !((*first >= '0' && *first <= '9') || *first == '.')) return 0;
  // Most values of a data file are short decimals without an exponent: their
  // digits make an integer of at most 2^24 and at most 10 of them follow the
  // point, so the integer and the power of ten are exact floats and one
  // division rounds correctly (Clinger's fast path).
  {
    const char* p = first;
    uint32_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    for (; p < end && *p >= '0' && *p <= '9' && digits < 9; ++p, ++digits) mantissa = mantissa * 10 + (*p - '0');
    if (p < end && *p == '.') {
      for (++p; p < end && *p >= '0' && *p <= '9' && digits < 9; ++p, ++digits, ++fraction) {
        mantissa = mantissa * 10 + (*p - '0');
      }
    }
    const bool more = p < end && ((*p >= '0' && *p <= '9') || *p == '.' || *p == 'e' || *p == 'E');
    if (digits > 0 && !more && mantissa <= (uint32_t{1} << 24) && fraction <= 10) {
      static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
      const float magnitude = static_cast<float>(mantissa) / kPowers[fraction];
      value = first != begin ? -magnitude : magnitude;
      return static_cast<size_t>(p - begin);
    }
  }
  // fast_float's from_chars reads the grammar of std::from_chars, correctly
  // rounded, at about twice its speed; out of range it gives infinity or the
  // nearest subnormal or zero, as strtof does.
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

LineKind scanDataLine(std::string_view line, float* values, int32_t& count) {
  const char* p = line.data();
  const char* end = p + line.size();
  count = 0;
  for (;;) {
    // Find where the next value begins: a digit, "-" or ".".
    while (p < end && kChars[*p] != kValueStart) {
      CharClass c = kChars[*p];
      if (c == kComment) return LineKind::kComment;
      if (c == kBadChar) return badOrComment(p, end);
      ++p;
    }
    if (p == end) return LineKind::kValues;
    float value;
    size_t used = convertFloat(std::string_view(p, static_cast<size_t>(end - p)), value);
    if (used == 0) return finishLine(p, end);  // a "-" or "." that begins no number ends the row
    // A value beyond single precision would poison the ranges in silence.
    if (std::isinf(value)) {
      LineKind rest = finishLine(p + used, end);
      return rest == LineKind::kComment ? rest : LineKind::kBad;
    }
    if (count < kMaxInputLength) values[count] = value;
    if (count < INT32_MAX) ++count;
    p += used;
    // Text glued to a value is passed over up to the next separator.
    while (p < end && kChars[*p] != kSeparator) {
      CharClass c = kChars[*p];
      if (c == kComment) return LineKind::kComment;
      if (c == kBadChar) return badOrComment(p, end);
      ++p;
    }
  }
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
  values[count < kMaxInputLength ? count : kMaxInputLength] = 0.0f;
  if (shape.variableCount != 0 && count != 0 && count != shape.columnCount) {
    if (observer != nullptr) observer->onRowMismatch(line, count, shape.columnCount);
    return -1;
  }
  if (shape.variableCount == 0) {
    shape.variableCount = count;
    shape.columnCount = count;
  }
  return count;
}

}  // namespace fuzzyart
