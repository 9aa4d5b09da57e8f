#include "results/model_format.h"

#include <charconv>
#include <cmath>

#include "base/text.h"
#include "fuzzyart/limits.h"

namespace fuzzyart::model_format {

namespace {

// A parameter's value as the file shows it: whole numbers as such, every
// other value as the float it was.
std::string valueText(int line, double value) {
  if (holdsFloat(line)) return floatText(static_cast<float>(value));
  return formatted("%.0f", value);
}

}  // namespace

std::string_view keyOf(int line) {
  static constexpr std::string_view kKeys[] = {
      "",     kFormat, "kind",      "columns",   "normalise", "complement", "used",   "min",            "max",
      "alpha", "beta",  "next-beta", "vigilance", "itp",       "iterations", "passes", "max-categories", "categories"};
  return line >= kFormatLine && line < kFirstCategoryLine ? kKeys[line] : std::string_view();
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

}  // namespace fuzzyart::model_format
