// The INFO lines that tell where a stop or a silent rule of the data file
// reading came from, printed from what the library found.
#pragma once

#include <string>
#include <string_view>

#include "base/detailed_observer.h"
#include "fuzzyart/error.h"
#include "fuzzyart/rows.h"

namespace fuzzyart {

// A field of a data file as the console shows it: printable ASCII as it is,
// every other byte as \xHH, so that a stray byte can be seen.
std::string shownField(std::string_view field);

// After "Bad datafile": the line and field that made the row bad, or the
// counts that differ, and the remedy for a header line.
void tellBadRowPlace(const BadRowPlace& place);

// After the first pass: the lines not read, the text passed over.
void tellPassedOver(const PassOverNotes& notes);

// After a zero denominator of learning at row lastRow (from 0): the first
// prepared row up to it that is all zeros, when there is one (the rows of a
// pass before such a row pass it, so that row is the cause); complement
// coding gives no such row.
void tellZeroRow(const Error& error, RowSource& rows, int64_t lastRow);

}  // namespace fuzzyart
