#include "base/number_text.h"

#include <charconv>

namespace fuzzyart {

void appendGeneral6(std::string& text, double value) {
  // At most "-1.23457E+308" and the like: 13 characters.
  char field[32];
  char* end = std::to_chars(field, field + sizeof field, value, std::chars_format::general, 6).ptr;
  const size_t start = text.size();
  for (const char* c = field; c < end; ++c) text.push_back(*c >= 'a' && *c <= 'z' ? static_cast<char>(*c - 32) : *c);
  if (text.size() - start < 12) text.append(12 - (text.size() - start), ' ');
}

std::string fixedText(double value, int precision) {
  // 309 digits before the point at most, then the point and the decimals.
  char digits[400];
  char* end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision).ptr;
  return std::string(digits, end);
}

}  // namespace fuzzyart
