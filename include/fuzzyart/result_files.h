// The result files as the command line writes them, saved to a path, and a
// stored category/weight file loaded for classification:
//   .FAC  the category/weight file: one row per category, its weights in data
//         units; the file a recall loads;
//   .FAF  the category value file: the category of every row, from 1;
//   .BKC  the category centre file: the mean of each category's rows.
//
// A file is written under a hidden name beside `path` (".fuzzyart-" and six
// characters) and renamed over it once complete, so that whoever reads
// `path` finds the old file or the whole new one. The new file takes the
// permission bits of the regular file it replaces (a new name gets 0666 less
// the umask); a symbolic link at `path` is replaced, the file it points at
// never written. A failure throws Error (kFileAccess when the file cannot be
// created or renamed, kWriteFailed when a write fails) and leaves `path` as it
// was. Numbers are written in the C locale's form ("%-12.6G"), whatever
// locale the process has set.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "fuzzyart/data.h"
#include "fuzzyart/network.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/tally.h"

namespace fuzzyart {

// What the command line's debug level adds to the files: from level 1 a "!"
// line naming the data (dataName) at the top of each, and the count of each
// category before its .FAC row (such a .FAC cannot be loaded again); from
// level 2 each .FAC weight labelled "k[i][j]=". Level 0 writes the plain
// files.
struct ResultDetail {
  int level = 0;
  std::string dataName;
};

// The .FAC of a network: one row per category, its first variableCount()
// weights brought back to data units with the scaling (the complement half
// is not stored), with counts holding one count per category (a Tally's
// counts()).
void saveCategoryFile(const std::string& path, const Network& network, const Scaling& scaling,
                      std::span<const int64_t> counts, const ResultDetail& detail = {});

// The .FAF of classified rows: one line per row with its category counted
// from 1; a row that no category accepted (-1) is written as 0.
void saveValueFile(const std::string& path, std::span<const int> categories, const ResultDetail& detail = {});

// The .BKC of a tally with centres: one row per category, its centre in data
// units (NAN where the category took no row).
void saveCentreFile(const std::string& path, const Tally& tally, const Scaling& scaling,
                    const ResultDetail& detail = {});

// A stored network from a .FAC, as the command line's recall loads one.
struct StoredCategories {
  Scaling scaling;  // of the rows to classify, widened by the stored rows
  Network network;  // one category per stored row
};

// Loads the .FAC at `path` for rows whose ranges are `ranges` (measureRanges
// of them, with options.normalise): the stored rows widen the ranges, which
// then make the scaling with options (dataName names the rows in its
// messages), and each stored row becomes a category scaled with it (with
// complement coding the complement half is rebuilt as 1 minus the stored
// half, so each category comes back as a single point). The network is
// built with the parameters as given.
// Only a regular file is read: anything else is refused before it is opened
// ("Can't find/open file"). Every row must hold ranges.columns() values and
// only numbers ("Bad category/weightfile", kBadCategoryFile; a file written
// with a debug level is one); a file without rows is refused as well. The
// file is read twice, as the command line reads it; a file whose rows
// change in number or shape between the readings is a bad file.
StoredCategories loadCategoryFile(const std::string& path, ColumnRanges ranges, const std::string& dataName,
                                  const ScalingOptions& options, const NetworkParameters& parameters,
                                  Observer* observer = nullptr);

}  // namespace fuzzyart
