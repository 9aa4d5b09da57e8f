// The model file: a learnt network kept whole, with the scaling its rows
// need, so that new rows can be classified later exactly as the rows it
// learnt from. Unlike the category/weight file (.FAC), which keeps the lower
// corner of each category in data units to 6 digits, it keeps every weight
// (both halves with complement coding), every range and every parameter to
// the bit. A versioned text format, read and written in the C locale
// whatever the caller's locale is; README.md ("Learn once, classify new
// files") describes it line by line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fuzzyart/data.h"
#include "fuzzyart/network.h"

namespace fuzzyart {

struct Model {
  // How raw rows become input vectors: the data's column count, the used
  // columns, the division by the row sum, complement coding, and the range
  // of every used column. New rows go through prepareRows(scaling, ...,
  // clip = true), which clips values outside the ranges into 0..1.
  Scaling scaling;
  // Its parameters (threads excepted, which are the caller's), where
  // learning goes on from (currentBeta(), passes()), and every category.
  Network network{NetworkParameters{}, 1};
  // Rows of each category in the last classification; empty when there was
  // none (written as 0 each).
  std::vector<int64_t> counts;
};

// Writes the model under a hidden name beside `path` (".fuzzyart-" and six
// characters) and renames it over `path` once it is complete and on disk,
// keeping the permission bits of a regular file it replaces; until then
// whatever is at `path` stays as it was. Throws Error: kBadModelFile for a
// model that no model file can hold (its what() names the reason: a value
// that is not finite, a weight above 1, parameters out of range, parts that
// do not fit together), kFileAccess when the file cannot be created,
// kWriteFailed when a write fails.
void saveModel(const std::string& path, const Model& model);

// Reads a model file. Only a regular file is read, and only as many bytes
// as it held when it was opened. Throws Error (kBadModelFile) with
// "Bad modelfile: PATH\nINFO: Line N: WHAT\n" for anything it cannot use
// (line 0 for the file itself: missing, not a regular file, unreadable).
// Every model saveModel writes reads back to the bit.
Model loadModel(const std::string& path);

}  // namespace fuzzyart
