#include "run/result_names.h"

#include "base/text.h"
#include "run/switches.h"

namespace fuzzyart {

std::string replaceExtension(const std::string& name, const std::string& extension) {
  size_t slash = name.rfind('/');
  size_t componentStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = name.find('.', componentStart);
  return (dot == std::string::npos ? name : name.substr(0, dot)) + extension;
}

bool isResultName(const std::string& name) {
  const std::string upper = asciiUpper(name);
  for (const char* extension : {kWeightExtension, kValueExtension, kTempExtension, kCentreExtension}) {
    if (upper.find(extension) != std::string::npos) return true;
  }
  return false;
}

std::string temporaryName(const std::string& dataName, const std::string& tempPath) {
  if (tempPath.empty()) return replaceExtension(dataName, kTempExtension);
  return tempPath + replaceExtension(finalPathComponent(dataName), kTempExtension);
}

}  // namespace fuzzyart
