// One raw row on its way to an input vector: the division by its sum and the
// scaling with stored ranges, shared by the streamed preparation and by rows
// prepared in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzzyart/data.h"

namespace fuzzyart {

// scaleValue and unscaleValue of the public face, inline for the row loops.
inline double scaled(float x, float min, float max) { return (double{x} - double{min}) / (double{max} - double{min}); }
inline double unscaled(float w, float min, float max) {
  return double{min} + (double{max} - double{min}) * double{w};
}

// Switch N: every value divided by the sum of all the row's values, summed in
// double and rounded to single precision. A sum of 0 stops with "Row sum is
// 0"; a sum beyond single precision, or a quotient beyond it (a tiny sum of
// large values), makes the row bad, as an overflowing value does.
void divideBySum(float* row, int columns, const std::string& name, int64_t rowNumber);

// The input vector of a raw row (divided by its sum already when the scaling
// asks for it): the scaled used columns, then their complements. A value
// outside the ranges is clipped into 0..1 with clip, else makes the row bad.
void scaleRecord(const Scaling& scaling, const float* raw, float* out, bool clip, const std::string& name,
                 int64_t rowNumber);

// scaleRecord without clipping for rows side by side (columnCount values
// each) into records side by side: the number of rows scaled before the
// first with a value outside the ranges (rows when none is); that row's
// record may hold anything, and scaleRecord tells what is wrong with it.
size_t scaleRecordsInRange(const Scaling& scaling, const float* raw, size_t rows, float* out);

[[noreturn]] void failBadRow(const std::string& name, int64_t rowNumber);
// Its message: "Bad datafile: NAME  Datarow:N".
std::string badRowMessage(const std::string& name, int64_t rowNumber);

// Rows from memory may hold what no data file can: a value that is not a
// number or infinite makes the row bad, as an overflowing value does.
void requireFinite(const float* row, int columns, const std::string& name, int64_t rowNumber);

}  // namespace fuzzyart
