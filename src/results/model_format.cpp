#include "results/model_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/text.h"
#include "fuzzyart/limits.h"

namespace fuzzyart::model_format {

namespace {

// A parameter's value as the file shows it: whole numbers as such, every
// other value as the float it was.
std::string valueText(int line, double value) {
  if (line == kEpsilonLine) return doubleText(value);
  if (holdsFloat(line)) return floatText(static_cast<float>(value));
  return formatted("%.0f", value);
}

}  // namespace

std::string_view keyOf(int line) {
  static constexpr std::string_view kKeys[] = {
      "",     kFormat, "kind",      "columns",   "normalise", "complement", "used",   "min",            "max",
      "alpha", "beta",  "next-beta", "vigilance", "itp",       "iterations", "passes", "max-categories", "categories"};
  switch (line) {
    case kEpsilonLine: return "epsilon";
    case kMatchTrackingLine: return "match-tracking";
    case kClassesLine: return "classes";
    default: return line >= kFormatLine && line < kFirstCategoryLine ? kKeys[line] : std::string_view();
  }
}

std::string floatText(float value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string columnsFault(int64_t columns) {
  if (columns >= 1 && columns <= kMaxInputLength) return {};
  return formatted("columns %lld is not between 1 and %d", static_cast<long long>(columns), kMaxInputLength);
}

std::string usedFault(std::span<const int> used, int columns, bool complementCoding) {
  if (used.empty()) return "no used column";
  for (size_t k = 0; k < used.size(); ++k) {
    if (used[k] < 0 || used[k] >= columns) {
      return formatted("used column %lld is not between 1 and %d", static_cast<long long>(used[k]) + 1, columns);
    }
    if (k > 0 && used[k] <= used[k - 1]) return "the used columns are not in ascending order";
  }
  const size_t length = complementCoding ? 2 * used.size() : used.size();
  if (length > static_cast<size_t>(kMaxInputLength)) {
    return formatted("input vectors of %zu values, more than %d", length, kMaxInputLength);
  }
  return {};
}

std::string boundsFault(std::span<const float> bounds) {
  for (size_t k = 0; k < bounds.size(); ++k) {
    if (!std::isfinite(bounds[k])) return formatted("value %zu is not a finite number", k + 1);
  }
  return {};
}

std::string rangeFault(std::span<const float> min, std::span<const float> max) {
  for (size_t k = 0; k < min.size() && k < max.size(); ++k) {
    // A constant column would scale by a division by 0.
    if (!(max[k] > min[k])) {
      return formatted("max %s of used column %zu is not above its min %s", floatText(max[k]).c_str(), k + 1,
                       floatText(min[k]).c_str());
    }
  }
  return {};
}

std::string parameterFault(int line, double value) {
  const char* key = keyOf(line).data();
  if (holdsFloat(line) && !std::isfinite(value)) return formatted("%s is not a finite number", key);
  const std::string shown = formatted("%s %s", key, valueText(line, value).c_str());
  switch (line) {
    case kBetaLine:
      return value > 0 ? "" : shown + " is not above 0";
    case kNextBetaLine:
      // Beta shrinks by Itp after every pass and may reach 0.
      return value >= 0 ? "" : shown + " is below 0";
    case kVigilanceLine:
      return value >= 0 && value <= 1 ? "" : shown + " is not between 0 and 1";
    case kItpLine:
      return value > 0 && value <= 2 ? "" : shown + " is not above 0 and at most 2";
    case kIterationsLine:
    case kMaxCategoriesLine:
      return value >= 1 && value <= INT32_MAX ? "" : shown + formatted(" is not between 1 and %d", INT32_MAX);
    case kPassesLine:
      return value >= 0 && value <= INT32_MAX ? "" : shown + formatted(" is not between 0 and %d", INT32_MAX);
    default:
      return {};
  }
}

std::string supervisedParameterFault(int line, double value) {
  if (line == kEpsilonLine) {
    if (std::isfinite(value) && value >= 0) return {};
    return std::isfinite(value) ? formatted("epsilon %s is below 0", doubleText(value).c_str())
                                : std::string("epsilon is not a finite number");
  }
  std::string fault = parameterFault(line, value);
  if (!fault.empty()) return fault;
  const std::string shown = formatted("%s %s", keyOf(line).data(), valueText(line, value).c_str());
  if (line == kBetaLine && value > 1) return shown + " is above 1";
  if (line == kAlphaLine && value < 0) return shown + " is below 0";
  if (line == kNextBetaLine && !(value > 0)) return shown + " is not above 0";
  return {};
}

std::string categoriesFault(int64_t categories, int64_t maxCategories) {
  if (categories >= 0 && categories <= maxCategories) return {};
  return formatted("categories %lld is not between 0 and max-categories %lld", static_cast<long long>(categories),
                   static_cast<long long>(maxCategories));
}

std::string categoryFault(int64_t count, std::span<const float> weights) {
  if (count < 0) return formatted("count %lld is below 0", static_cast<long long>(count));
  for (size_t i = 0; i < weights.size(); ++i) {
    if (!std::isfinite(weights[i])) return formatted("weight %zu is not a finite number", i + 1);
    if (weights[i] > 1.0f) return formatted("weight %zu, %s, is above 1", i + 1, floatText(weights[i]).c_str());
  }
  return {};
}

std::string doubleText(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string_view trackingText(MatchTracking tracking) {
  switch (tracking) {
    case MatchTracking::kPlus: return "MT+";
    case MatchTracking::kMinus: return "MT-";
    default: return "MT0";
  }
}

bool readTracking(std::string_view text, MatchTracking& tracking) {
  for (MatchTracking t : {MatchTracking::kPlus, MatchTracking::kMinus, MatchTracking::kZero}) {
    if (text == trackingText(t)) {
      tracking = t;
      return true;
    }
  }
  return false;
}

std::string_view classKindText(ClassKind kind) {
  switch (kind) {
    case ClassKind::kWhole: return "whole";
    case ClassKind::kNumber: return "number";
    default: return "text";
  }
}

bool readClassKind(std::string_view text, ClassKind& kind) {
  for (ClassKind k : {ClassKind::kWhole, ClassKind::kNumber, ClassKind::kText}) {
    if (text == classKindText(k)) {
      kind = k;
      return true;
    }
  }
  return false;
}

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool escaped(unsigned char byte) { return byte <= ' ' || byte >= 0x7f || byte == '%'; }

int hexValue(char c) {
  const char* at = std::strchr(kHex, c);
  return c != '\0' && at != nullptr ? static_cast<int>(at - kHex) : -1;
}

}  // namespace

std::string escapedClass(std::string_view value) {
  if (value.empty()) return "%";
  std::string out;
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (escaped(byte)) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool unescapeClass(std::string_view field, std::string& value) {
  value.clear();
  if (field == "%") return true;
  for (size_t at = 0; at < field.size(); ++at) {
    const auto byte = static_cast<unsigned char>(field[at]);
    if (byte != '%') {
      if (escaped(byte)) return false;
      value += field[at];
      continue;
    }
    const int high = at + 2 < field.size() ? hexValue(field[at + 1]) : -1;
    const int low = high >= 0 ? hexValue(field[at + 2]) : -1;
    if (low < 0) return false;
    value += static_cast<char>(high * 16 + low);
    at += 2;
  }
  return !field.empty();
}

std::string classesFault(ClassKind kind, std::span<const std::string> classes) {
  std::vector<std::pair<double, std::string>> keys;  // a value to compare, or the text
  std::vector<int64_t> wholes;
  for (size_t k = 0; k < classes.size(); ++k) {
    const std::string& text = classes[k];
    const char* const end = text.data() + text.size();
    if (kind == ClassKind::kWhole) {
      int64_t value = 0;
      const auto [stop, error] = std::from_chars(text.data(), end, value);
      if (text.empty() || error != std::errc() || stop != end) {
        return formatted("class %zu is not a whole number of 64 bits", k + 1);
      }
      wholes.push_back(value);
    } else if (kind == ClassKind::kNumber) {
      double value = 0;
      const auto [stop, error] = std::from_chars(text.data(), end, value);
      if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
        return formatted("class %zu is not a finite number", k + 1);
      }
      // 0 and -0 are one class.
      keys.emplace_back(value == 0 ? 0.0 : value, std::string());
    } else {
      keys.emplace_back(0.0, text);
    }
  }
  std::sort(wholes.begin(), wholes.end());
  std::sort(keys.begin(), keys.end());
  if (std::adjacent_find(wholes.begin(), wholes.end()) != wholes.end() ||
      std::adjacent_find(keys.begin(), keys.end()) != keys.end()) {
    return "two classes are equal";
  }
  return {};
}

std::string labelFault(int64_t label, size_t classes) {
  if (label >= 0 && static_cast<uint64_t>(label) < classes) return {};
  return formatted("class %lld is not between 0 and %lld", static_cast<long long>(label),
                   static_cast<long long>(classes) - 1);
}

}  // namespace fuzzyart::model_format
