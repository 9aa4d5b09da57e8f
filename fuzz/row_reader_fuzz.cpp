// The row reader on arbitrary bytes. Besides the sanitizers' checks (the row
// buffer has exactly its documented size, so a write past it is caught) the
// target holds the reader to its promises:
//  - a line that scans as values holds only the allowed characters, a comment
//    holds "!", and every value stored is finite and equals the C library's
//    strtof of the text where the value starts;
//  - a positive result stores at most 8192 values followed by 0.0; the first
//    row sets both counts and every later positive result equals them;
//  - a second pass over the same bytes reads the same rows bit for bit, which
//    the two passes of the preparation rely on.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzzyart/text_file.h"
#include "data/row_reader.h"
#include "fuzz_input.h"

using namespace fuzzyart;

namespace {

bool allowedInData(char c) {
  return (c >= '0' && c <= '9') || std::strchr(" \t,.+-eE\r\n", c) != nullptr;
}

void checkLine(std::string_view line, float* values) {
  int32_t count = -1;
  LineKind kind = scanDataLine(line, values, count);
  if (kind == LineKind::kComment) {
    CHECK(line.find('!') != std::string_view::npos);
    return;
  }
  if (kind != LineKind::kValues) return;
  for (char c : line) CHECK(c != '\0' && allowedInData(c));
  CHECK(count >= 0);
  for (int32_t i = 0; i < count && i < kMaxInputLength; ++i) CHECK(std::isfinite(values[i]));

  // The same walk with strtof: a value starts at a digit, "-" or "."; after
  // it the text runs on to the next blank, tab or comma.
  const std::string text(line);
  const char* p = text.c_str();
  const char* end = p + text.size();
  int32_t seen = 0;
  for (;;) {
    while (p < end && std::strchr("0123456789-.", *p) == nullptr) ++p;
    if (p == end) break;
    char* stop = nullptr;
    const float expected = std::strtof(p, &stop);
    if (stop == p) break;
    if (seen < kMaxInputLength) CHECK(std::memcmp(&expected, &values[seen], sizeof expected) == 0);
    ++seen;
    p = stop;
    while (p < end && std::strchr(" \t,", *p) == nullptr) ++p;
  }
  CHECK(seen == count);
}

struct Row {
  int32_t result;
  std::vector<float> values;
};

std::vector<Row> readPass(TextFile& in, float* buffer) {
  RowShape shape;
  std::vector<Row> rows;
  for (;;) {
    const RowShape before = shape;
    int32_t n = readDataRow(buffer, in, shape);
    CHECK(n >= -2);
    Row row{n, {}};
    if (n > 0) {
      const int32_t stored = n < kMaxInputLength ? n : kMaxInputLength;
      CHECK(buffer[stored] == 0.0f);
      for (int32_t i = 0; i < stored; ++i) CHECK(std::isfinite(buffer[i]));
      row.values.assign(buffer, buffer + stored);
      if (before.variableCount == 0) {
        CHECK(shape.variableCount == n && shape.columnCount == n);
      } else {
        CHECK(n == shape.columnCount);
      }
    } else if (n == -1) {
      CHECK(before.variableCount != 0);
    } else if (n == -2) {
      CHECK(shape.variableCount == before.variableCount && shape.columnCount == before.columnCount);
    } else {
      CHECK(buffer[0] == 0.0f);
    }
    rows.push_back(std::move(row));
    if (n <= 0) break;
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

  CHECK(in.rewind());
  const std::vector<Row> first = readPass(in, buffer.get());
  CHECK(in.rewind());
  const std::vector<Row> second = readPass(in, buffer.get());
  CHECK(first.size() == second.size());
  for (size_t i = 0; i < first.size(); ++i) {
    CHECK(first[i].result == second[i].result);
    CHECK(first[i].values.size() == second[i].values.size());
    CHECK(first[i].values.empty() ||
          std::memcmp(first[i].values.data(), second[i].values.data(), first[i].values.size() * sizeof(float)) == 0);
  }
  return 0;
}
