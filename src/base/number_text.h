// Numbers as text in the C locale's form, whatever locale the process has
// set: a caller that set LC_NUMERIC to a decimal comma must still get files
// that the reader (which knows only the point) loads, and the same bytes as
// any other caller.
#pragma once

#include <string>

namespace fuzzyart {

// printf's "%-12.6G" in the C locale: 6 significant digits, trailing zeros
// dropped, upper-case exponent, INF and NAN (with glibc's "-" for a NaN whose
// sign bit is set), padded with blanks to 12 characters.
void appendGeneral6(std::string& text, double value);

// printf's "%.<precision>f" in the C locale, precision 0 to 17.
std::string fixedText(double value, int precision);

}  // namespace fuzzyart
