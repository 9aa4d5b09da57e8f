#include "run/notices.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "run/console.h"

namespace fuzzyart {

std::string shownField(std::string_view field) {
  std::string shown;
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E) {
      shown += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      shown += hex;
    }
  }
  return shown;
}

void tellBadRowPlace(const BadRowPlace& place) {
  if (place.line == 0) return;
  const auto line = static_cast<long long>(place.line);
  if (place.value > 0) {
    consoleErr("INFO: Line %lld, value %d: \"%s\" is not a number.\n", line, place.value,
               shownField(place.field).c_str());
  } else if (place.values > 0) {
    consoleErr("INFO: Line %lld holds %d values, the first data row %d.\n", line, place.values,
               place.firstRowValues);
  } else {
    // A line too long to be one line: nothing in it to point at.
    return;
  }
  if (place.line == 1 && place.holdsLetters) {
    consoleErr("INFO: A header line must hold a \"!\" to be read as a comment.\n");
  }
}

void tellPassedOver(const PassOverNotes& notes) {
  const std::string file(notes.file);
  consoleErr("\n");
  if (notes.endLine != 0) {
    consoleErr("INFO: The data of %s end at line %lld; %lld more lines are not read.\n", file.c_str(),
               static_cast<long long>(notes.endLine), static_cast<long long>(notes.linesAfter));
  }
  if (notes.gluedRows != 0) {
    consoleErr("INFO: Text after a number is passed over in %s, first at line %lld (\"%s\"), %lld lines in all.\n",
               file.c_str(), static_cast<long long>(notes.gluedLine), shownField(notes.gluedField).c_str(),
               static_cast<long long>(notes.gluedRows));
  }
}

void tellZeroRow(const Error& error, RowSource& rows, int64_t lastRow) {
  if (error.kind() != ErrorKind::kDivisionByZero) return;
  const char* what = error.what();
  if (std::strstr(what, "(Vicinityvector)") == nullptr && std::strstr(what, "(Resonance)") == nullptr) return;
  const size_t length = rows.length();
  if (length == 0) return;
  rows.rewind();
  int64_t row = 0;
  for (;;) {
    const float* block = nullptr;
    const size_t count = rows.next(4096, block);
    if (count == 0) return;
    for (size_t r = 0; r < count; ++r, ++row) {
      if (row > lastRow) return;
      const float* values = block + r * length;
      if (std::all_of(values, values + length, [](float v) { return v == 0.0f; })) {
        consoleErr("INFO: Row %lld scales to all zeros; complement coding (-M) avoids this.\n",
                   static_cast<long long>(row + 1));
        return;
      }
    }
  }
}

}  // namespace fuzzyart
