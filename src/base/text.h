// Small text services that every floor uses.
#pragma once

#include <cstdarg>
#include <string>

namespace fuzzyart {

// The final path component: the text after the last "/", or the whole name.
std::string finalPathComponent(const std::string& name);

// The text with its ASCII letters upper-cased.
std::string asciiUpper(std::string text);

// A text formatted as printf formats it (numbers in the C locale's form).
std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformatted(const char* format, va_list args);

}  // namespace fuzzyart
