#include "base/text.h"

namespace fuzzyart {

std::string finalPathComponent(const std::string& name) {
  size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string asciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace fuzzyart
