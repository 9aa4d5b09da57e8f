// The row reader on arbitrary bytes. Besides the sanitizers' checks (the row
// buffer has exactly its documented size, so a write past it is caught) the
// target holds the reader to its promises:
//  - every line scans as the grammar walked another way, with the C
//    library's strtof, says: too long, a comment, bad (a foreign character,
//    a field that begins no number, a value beyond single precision), or its
//    values, bit for bit, whether signs are read as coming seldom or at
//    random;
//  - a positive result stores at most 8192 finite values followed by 0.0; the
//    first row sets both counts and every later positive result equals them;
//  - a second pass over the same bytes reads the same rows, which the two
//    passes of the preparation rely on;
//  - an input that begins with "~" stands for its rest with the last line
//    repeated past the longest a line may be: read from memory and from a
//    file, it gives the rows of the rest with that line made bad, and no
//    piece of it comes longer than the bound.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/row_reader.h"
#include "fuzz_input.h"

using namespace fuzzyart;

namespace {

// The kind of a line and its values by the grammar alone.
LineKind expectedKind(std::string_view line, std::vector<float>& values) {
  if (line.size() > kMaxLineLength + (line.ends_with('\n') ? 1 : 0)) return LineKind::kBad;
  if (line.find('!') != std::string_view::npos) return LineKind::kComment;
  if (line.find_first_not_of("0123456789 \t,.+-eE\r\n") != std::string_view::npos) return LineKind::kBad;
  const std::string text(line);
  const char *p = text.c_str(), *end = p + text.size();
  for (char* stop = nullptr;; p = stop) {
    while (p < end && std::strchr(" \t,\r\n", *p) != nullptr) ++p;
    if (p == end) return LineKind::kValues;
    // A field begins with a sign or none, then a digit or a point and a digit.
    const char* digits = p + (*p == '+' || *p == '-');
    digits += *digits == '.';
    if (*digits < '0' || *digits > '9') return LineKind::kBad;
    values.push_back(std::strtof(p, &stop));
    if (std::isinf(values.back())) return LineKind::kBad;
    while (stop < end && std::strchr(" \t,", *stop) == nullptr) ++stop;
  }
}

void checkLine(std::string_view line, float* values) {
  std::vector<float> expected;
  const LineKind kind = expectedKind(line, expected);
  const size_t stored = std::min<size_t>(expected.size(), kMaxInputLength);
  // Signs read as coming seldom, then as at random: the same kind and values.
  for (SignTally signs : {SignTally{}, SignTally{1, 1}}) {
    int32_t count = -1;
    CHECK(scanDataLine(line, values, count, signs) == kind);
    CHECK(kind != LineKind::kValues ||
          (static_cast<size_t>(count) == expected.size() &&
           (stored == 0 || std::memcmp(expected.data(), values, stored * sizeof(float)) == 0)));
  }
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

// The long text that an input beginning with "~" stands for.
void checkLongLine(std::string_view rest, float* buffer) {
  const size_t head = rest.rfind('\n') + 1;  // 0 without a line feed
  const std::string tail = head < rest.size() ? std::string(rest.substr(head)) : " ";
  std::string text(rest.substr(0, head));
  while (text.size() - head <= kMaxLineLength) text += tail;
  TextFile cut;
  cut.openMemory("cut", std::make_shared<const std::string>(std::string(rest.substr(0, head)) + "x"));
  const std::vector<float> rows = readPass(cut, buffer);
  TextFile in[2];
  in[0].openMemory("long", std::make_shared<const std::string>(text));
  const int fd = memfd_create("long", 0);
  CHECK(fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
  CHECK(in[1].open("/proc/self/fd/" + std::to_string(fd)));
  close(fd);
  for (TextFile& file : in) {
    CHECK(readPass(file, buffer) == rows);
    // Every piece within the bound, and each read by the grammar.
    CHECK(file.rewind());
    std::string_view line;
    while (file.nextLine(line)) {
      CHECK(line.size() <= kMaxLineLength + 1);
      checkLine(line, buffer);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::silenceConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly the row buffer's documented size.
  std::unique_ptr<float[]> buffer(new float[kRowBufferSize]);
  if (size > 0 && data[0] == '~') {
    checkLongLine(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), buffer.get());
    return 0;
  }
  auto bytes = std::make_shared<const std::string>(reinterpret_cast<const char*>(data), size);
  TextFile in;
  in.openMemory("fuzz", bytes);
  std::string_view line;
  while (in.nextLine(line)) checkLine(line, buffer.get());
  checkLine(*bytes, buffer.get());
  CHECK(readPass(in, buffer.get()) == readPass(in, buffer.get()));
  return 0;
}
