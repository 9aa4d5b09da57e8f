// The text files of results on streams, as the command line writes them (it
// streams its files and commits them as a group): the category/weight file
// (.FAC), read back for a recall; the category value file (.FAF); the
// category centre file (.BKC). The path-level calls of the public face are
// made of these.
//
// Writers take an OutputFile, check every write and throw Error
// (kWriteFailed) when one fails; the caller flushes or closes the file, which
// tells of a write that failed in the buffer. Numbers are written in the C
// locale's form whatever the process's locale.
//
// detail is the command line's debug level: 1 or more adds "!" header lines
// and per-category counts, 2 or more labels each weight "k[i][j]=".
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/output_file.h"
#include "data/text_file.h"
#include "fuzzyart/data.h"
#include "fuzzyart/network.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/tally.h"

namespace fuzzyart {

// One row per category: its first variableCount weights in data units
// ("%-12.6G " each), with counts holding one per category. A detailed
// observer hears of each category before its row.
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

// The tally of the command line's classification: the counts of `categories`
// categories and, with centres, the sums of `variables` values each, with
// the reports of each reservation (the table of sums as 4 bytes a category,
// each category's sums as 4 bytes a variable, as the console has always
// shown them). With emptyFails, as on the command line, centres for no
// category at all are a reservation of nothing, which fails ("Not enough
// memory for meanvector.").
struct TallyReservation {
  static Tally reserve(int categories, int variables, bool centres, Observer* observer, bool emptyFails);
};

// One row of centre values per category of the tally (which holds centres).
void writeCategoryCentreFile(OutputFile& file, const Tally& tally, const Scaling& scaling,
                             const std::string& dataName, int detail);

}  // namespace fuzzyart
