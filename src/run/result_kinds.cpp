#include "run/result_kinds.h"

#include <algorithm>

#include "base/text.h"
#include "run/signals.h"

namespace fuzzyart {

namespace {

constexpr ResultKindInfo kTable[] = {
    {ResultKind::kWeights, ".FAC", Written::kAlways, Writing::kCommitted, Created::kAfterPreparation, 3, 0},
    {ResultKind::kValues, ".FAF", Written::kAlways, Writing::kCommitted, Created::kBeforeClassification, 0, 1},
    {ResultKind::kPrepared, ".BIN", Written::kAlways, Writing::kInPlace, Created::kAtStart, -1, -1},
    {ResultKind::kCentres, ".BKC", Written::kWithCentres, Writing::kCommitted, Created::kAtStart, 1, 2},
    {ResultKind::kModel, nullptr, Written::kWithModel, Writing::kCommitted, Created::kAtStart, 2, 3},
};

constexpr bool tableIsSound() {
  for (size_t k = 0; k < kResultKindCount; ++k) {
    if (indexOf(kTable[k].kind) != k || kTable[k].signalSlot >= kPendingSlots) return false;
    if ((kTable[k].writing == Writing::kCommitted) != (kTable[k].commitRank >= 0)) return false;
  }
  return std::size(kTable) == kResultKindCount;
}
static_assert(tableIsSound(), "one row per kind, in the order of the enum, slots the handlers have");

}  // namespace

std::span<const ResultKindInfo> resultKinds() { return kTable; }

const ResultKindInfo& infoOf(ResultKind kind) { return kTable[indexOf(kind)]; }

const char* extensionOf(ResultKind kind) { return infoOf(kind).extension; }

const std::array<ResultKind, kResultKindCount - 1>& commitOrder() {
  static const auto order = [] {
    std::array<ResultKind, kResultKindCount - 1> kinds{};
    for (const ResultKindInfo& info : kTable) {
      if (info.commitRank >= 0) kinds[static_cast<size_t>(info.commitRank)] = info.kind;
    }
    return kinds;
  }();
  return order;
}

bool isWritten(ResultKind kind, const RunSettings& settings) {
  switch (infoOf(kind).written) {
    case Written::kAlways: return true;
    case Written::kWithCentres: return settings.writeCentres;
    case Written::kWithModel: return !settings.saveModelFile.empty();
  }
  return false;
}

std::string inDirectory(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string resultName(ResultKind kind, const std::string& dataName, const RunSettings& settings) {
  const char* extension = extensionOf(kind);
  if (extension == nullptr) {
    // A model file named with a directory goes there.
    const std::string& model = settings.saveModelFile;
    return model.find('/') == std::string::npos ? inDirectory(settings.outputDir, model) : model;
  }
  if (kind == ResultKind::kPrepared && !settings.tempPath.empty()) {
    return settings.tempPath + replaceExtension(finalPathComponent(dataName), extension);
  }
  if (!settings.outputDir.empty()) {
    return inDirectory(settings.outputDir, replaceExtension(finalPathComponent(dataName), extension));
  }
  return replaceExtension(dataName, extension);
}

std::string replaceExtension(const std::string& name, const std::string& extension) {
  size_t slash = name.rfind('/');
  size_t componentStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = name.find('.', componentStart);
  return (dot == std::string::npos ? name : name.substr(0, dot)) + extension;
}

bool isResultName(const std::string& name) {
  const std::string upper = asciiUpper(name);
  return std::any_of(kTable, std::end(kTable), [&](const ResultKindInfo& info) {
    return info.extension != nullptr && upper.find(info.extension) != std::string::npos;
  });
}

}  // namespace fuzzyart
