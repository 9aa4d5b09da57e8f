// The one reader of numbers written as text: data files and category/weight
// files alike pass through readDataRow.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/capacities.h"
#include "base/detailed_observer.h"
#include "data/text_file.h"
#include "fuzzyart/error.h"

namespace fuzzyart {

// The column counts of the current data file, set by the first row that holds
// values. variableCount may be lowered later to the number of selected
// columns; the reader only tests it for 0.
struct RowShape {
  int32_t variableCount = 0;
  int32_t columnCount = 0;
};

// What one line of text holds.
enum class LineKind : uint8_t { kComment, kBad, kValues };

// Scans one line (with or without its line feed). A line of more than
// kMaxLineLength characters before its line feed is bad, a comment too.
// Otherwise a line holding "!" is a comment, and a line is bad that holds a
// character outside digits, blank, tab, comma, ".", "+", "-", "e", "E", CR
// and LF, a field (the text between blanks, tabs and commas) that does not
// begin with a number (a sign, then a digit or a point and a digit), or a
// value beyond single precision's range. The text glued to a number, up to
// the next separator, is passed over. Otherwise the values are converted
// into values[] (at most kMaxInputLength stored, every one counted) and
// their number is put in count.
// With glued, *glued tells whether a line of values had text glued to one
// of its numbers.
LineKind scanDataLine(std::string_view line, float* values, int32_t& count, bool* glued = nullptr);

// The short decimals of the lines scanned so far, and how many were
// negative: where a quarter or more are, the signs are taken to come at
// random and are read without a branch. The values are the same either way.
struct SignTally {
  int64_t values = 0;
  int64_t negatives = 0;
};
// scanDataLine for the next line of a run of lines, told of their signs.
LineKind scanDataLine(std::string_view line, float* values, int32_t& count, SignTally& signs,
                      bool* glued = nullptr);

// What a second look at a data file's text finds, for the messages about it:
// the place of a bad row, the first row with text glued to a number, and
// where a line without values ended the data.
struct TextPlaces {
  BadRowPlace bad;           // of the data row badRow (line 0 when there is none)
  int64_t gluedLine = 0;     // the line of the data row gluedRow
  std::string gluedField;    // its first field with text after the number
  int64_t endLine = 0;       // the line that ended the data, 0 for the file's end
  int64_t linesAfter = 0;    // the lines after it
  bool valueAfter = false;   // one of them holds a value (or is bad)
};
// Reads the file again from its start, line by line; rows counted from 0,
// -1 for none. A file that cannot go back to its start finds nothing.
TextPlaces findTextPlaces(TextFile& file, int64_t badRow, int64_t gluedRow);

// readDataRow's ending for a scanned line of `count` values: the 0.0 after
// the stored values, and the count checked against the file's first row
// (which sets the shape). Returns readDataRow's result.
int32_t finishDataRow(float* values, std::string_view line, int32_t count, RowShape& shape, Observer* observer);
// finishDataRow without the 0.0, for values that stay where they were scanned.
int32_t checkDataRow(std::string_view line, int32_t count, RowShape& shape, Observer* observer);

// Reads the next data row into values (room for kRowBufferSize floats):
//   n > 0  a row of n values, then 0.0 stored after them
//   0      end of data: end of file, a read error, or a line without values
//   -1     a row whose count differs from columnCount (told to the observer)
//   -2     a bad line, as scanDataLine tells
int32_t readDataRow(float* values, TextFile& in, RowShape& shape, Observer* observer = nullptr);

// Converts the decimal number at the start of text, as formatted input's "%f"
// does, correctly rounded to single precision. Returns the characters used (0
// when none convert); out-of-range magnitudes give infinity or the nearest
// subnormal.
size_t convertFloat(std::string_view text, float& value);

}  // namespace fuzzyart
