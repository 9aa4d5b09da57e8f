// Small text services that every floor uses.
#pragma once

#include <string>

namespace fuzzyart {

// The final path component: the text after the last "/", or the whole name.
std::string finalPathComponent(const std::string& name);

// The text with its ASCII letters upper-cased.
std::string asciiUpper(std::string text);

}  // namespace fuzzyart
