// The row reader on arbitrary bytes. Besides the sanitizers' checks (the row
// buffer has exactly its documented size, so a write past it is caught) the
// target holds the reader to its promises:
//  - a line that scans as values holds only the allowed characters, a comment
//    holds "!", and every value stored equals the C library's strtof of the
//    text where the value starts, whether signs are read as coming seldom or
//    at random;
//  - a positive result stores at most 8192 finite values followed by 0.0; the
//    first row sets both counts and every later positive result equals them;
//  - a second pass over the same bytes reads the same rows, which the two
//    passes of the preparation rely on.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "data/row_reader.h"
#include "fuzz_input.h"

using namespace fuzzyart;

namespace {

void checkLine(std::string_view line, float* values) {
  int32_t count = -1;
  const LineKind kind = scanDataLine(line, values, count);
  // Read as if signs came at random: the same line, the same values.
  {
    std::vector<float> copy(values, values + std::clamp(count, 0, kMaxInputLength));
    SignTally signs{1, 1};
    int32_t again = -1;
    CHECK(scanDataLine(line, values, again, signs) == kind);
    CHECK(kind != LineKind::kValues ||
          (again == count && (copy.empty() || std::memcmp(copy.data(), values, copy.size() * sizeof(float)) == 0)));
  }
  CHECK(kind != LineKind::kComment || line.find('!') != std::string_view::npos);
  if (kind != LineKind::kValues) return;
  for (char c : line) CHECK((c >= '0' && c <= '9') || (c != '\0' && std::strchr(" \t,.+-eE\r\n", c) != nullptr));

  // The same walk with strtof: a value starts at a digit, "-" or "."; after
  // it the text runs on to the next blank, tab or comma.
  const std::string text(line);
  const char* p = text.c_str();
  const char* end = p + text.size();
  int32_t seen = 0;
  for (char* stop = nullptr;; p = stop) {
    while (p < end && std::strchr("0123456789-.", *p) == nullptr) ++p;
    const float expected = std::strtof(p, &stop);
    if (p == end || stop == p) break;
    CHECK(seen >= kMaxInputLength || std::memcmp(&expected, &values[seen], sizeof expected) == 0);
    ++seen;
    while (stop < end && std::strchr(" \t,", *stop) == nullptr) ++stop;
  }
  CHECK(seen == count);
}

// Every row of one pass, each followed by readDataRow's result.
std::vector<float> readPass(TextFile& in, float* buffer) {
  CHECK(in.rewind());
  RowShape shape;
  std::vector<float> rows;
  for (int32_t n = 1; n > 0;) {
    const RowShape before = shape;
    n = readDataRow(buffer, in, shape);
    const int32_t stored = std::clamp(n, 0, kMaxInputLength);
    CHECK(n >= -2 && (n < 0 || buffer[stored] == 0.0f));  // 0.0 after the values, or alone at the end
    for (int32_t i = 0; i < stored; ++i) CHECK(std::isfinite(buffer[i]));
    CHECK(n <= 0 || (before.variableCount == 0 ? shape.variableCount == n && shape.columnCount == n
                                               : n == shape.columnCount));
    CHECK(n != -1 || before.variableCount != 0);
    CHECK(n != -2 || (shape.variableCount == before.variableCount && shape.columnCount == before.columnCount));
    rows.insert(rows.end(), buffer, buffer + stored);
    rows.push_back(static_cast<float>(n));
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silenceConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto bytes = std::make_shared<const std::string>(reinterpret_cast<const char*>(data), size);
  // Exactly the row buffer's documented size.
  std::unique_ptr<float[]> buffer(new float[kRowBufferSize]);
  TextFile in;
  in.openMemory("fuzz", bytes);
  std::string_view line;
  while (in.nextLine(line)) checkLine(line, buffer.get());
  checkLine(*bytes, buffer.get());
  CHECK(readPass(in, buffer.get()) == readPass(in, buffer.get()));
  return 0;
}
