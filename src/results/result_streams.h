// The text files of results, as the command line writes them: the
// category/weight file (.FAC), read back for a recall; the category value
// file (.FAF); the category centre file (.BKC). Writers take an OutputFile,
// check every write and throw Error (kWriteFailed) when one fails; the
// caller flushes or closes the file, which tells of a write that failed in
// the buffer.
//
// detail is the command line's debug level: 1 or more adds "!" header lines
// and per-category counts, 2 or more labels each weight "k[i][j]=".
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "fuzzyart/data.h"
#include "fuzzyart/network.h"
#include "fuzzyart/observer.h"
#include "base/output_file.h"
#include "data/text_file.h"

namespace fuzzyart {

// One row per category: its first variableCount weights in data units
// ("%-12.6G " each). The observer hears of each category before its row.
void writeCategoryWeightFile(OutputFile& file, const Network& network, const Scaling& scaling,
                             std::span<const int64_t> counts, const std::string& dataName, int detail,
                             Observer* observer = nullptr);

// First reading of a stored category/weight file: every row must hold the
// data's number of columns; its values widen the ranges. Returns the rows.
int64_t widenByCategoryFile(TextFile& file, ColumnRanges& ranges, Observer* observer = nullptr);

// Second reading, from the start: each row becomes a category, scaled with
// the scaling (complement weights rebuilt as 1 minus the first half when the
// scaling codes complements). A file without any category row is refused.
void loadCategories(TextFile& file, const Scaling& scaling, Network& network, Observer* observer = nullptr);

// The category value file: a "!" header line naming the data (detail 1 or
// more), then one line per row with its category counted from 1.
void writeValueFileHeader(OutputFile& file, const std::string& dataName);
void writeValueLine(OutputFile& file, int category);

// Room for the centre sums of every category, with the reports of each
// reservation; no category at all is a reservation of nothing, which fails.
void reserveCentreSums(Tally& tally, int categories, int variableCount, Observer* observer = nullptr);

// The mean of each category's rows in data units, as the centre file holds
// it: the mean stored in single precision, then unscaled in double. A
// category without rows gives not-a-number values; one without sums in the
// tally (or wider than the ranges) throws Error.
std::vector<double> centreOf(const Tally& tally, int category, const Scaling& scaling);

// One row of centre values per category.
void writeCategoryCentreFile(OutputFile& file, const Tally& tally, const Scaling& scaling,
                             const std::string& dataName, int detail);

}  // namespace fuzzyart
