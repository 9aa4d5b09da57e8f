// readSettings on arbitrary argument vectors and environment entries (see
// fuzz_input.h for the layout of an input). A run either stops (usage text or
// PANIC, both through RunStop) or leaves settings that every later phase may
// trust without looking again; the target checks those promises.
#include <cmath>
#include <cstdint>

#include "fuzz_input.h"
#include "run/switches.h"

using namespace fuzzyart;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silenceConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::CommandLine line(std::string_view(reinterpret_cast<const char*>(data), size));
  RunSettings s;
  try {
    readSettings(line.args, SettingsSource{"fuzzyart", line.environment}, s);
  } catch (const RunStop& stop) {
    CHECK(stop.exitCode == kExitUsageOrCancel || stop.exitCode == kExitPanic);
    return 0;
  }
  CHECK(s.iterations >= 1 && s.itp > 0.0f && s.itp <= 2.0f && s.vigilance >= 0.0f && s.vigilance <= 1.0f);
  CHECK(s.beta > 0.0f && !std::isnan(s.alpha) && s.debugLevel >= 0);
  CHECK(s.columnSelected.size() == static_cast<size_t>(kMaxColumns) + 1 && !s.columnSelected[0]);
  int32_t highest = 0;
  for (int c = 1; c <= kMaxColumns; ++c) highest = s.columnSelected[c] ? c : highest;
  CHECK(s.highestColumn == highest && (s.selectedCount == 0) == (highest == 0));
  CHECK(s.tempPath.empty() || s.tempPath.back() == '/');
  CHECK(s.recall == !s.categoryFile.empty() && !(s.recall && s.selectedCount != 0));
  CHECK(!s.usesModel() || (!s.recall && s.selectedCount == 0));
  return 0;
}
