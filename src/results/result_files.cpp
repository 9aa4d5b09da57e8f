// The result files at a path: each written whole beside its target and
// renamed over it, and the stored .FAC loaded in one call.
#include "fuzzyart/result_files.h"

#include <functional>
#include <utility>

#include "base/failure.h"
#include "base/output_file.h"
#include "data/text_file.h"
#include "results/result_streams.h"

namespace fuzzyart {

namespace {

// Writes the file under its hidden name, then renames it over `path`; the
// hidden file goes when anything fails on the way.
void saveReplacing(const std::string& path, const std::function<void(OutputFile&)>& write) {
  OutputFile file;
  if (!file.createReplacing(path)) fail(ErrorKind::kFileAccess, "Can't create file: %s\n\n", path.c_str());
  write(file);
  if (!file.close()) failDiskFull();
  if (!file.commit()) fail(ErrorKind::kFileAccess, "Can't create file: %s\n\n", path.c_str());
}

}  // namespace

void saveCategoryFile(const std::string& path, const Network& network, const Scaling& scaling,
                      std::span<const int64_t> counts, const ResultDetail& detail) {
  saveReplacing(path, [&](OutputFile& file) {
    writeCategoryWeightFile(file, network, scaling, counts, detail.dataName, detail.level);
  });
}

void saveValueFile(const std::string& path, std::span<const int> categories, const ResultDetail& detail) {
  saveReplacing(path, [&](OutputFile& file) {
    if (detail.level >= 1) writeValueFileHeader(file, detail.dataName);
    for (const int category : categories) writeValueLine(file, category < 0 ? -1 : category);
  });
}

void saveCentreFile(const std::string& path, const Tally& tally, const Scaling& scaling, const ResultDetail& detail) {
  saveReplacing(path, [&](OutputFile& file) {
    writeCategoryCentreFile(file, tally, scaling, detail.dataName, detail.level);
  });
}

StoredCategories loadCategoryFile(const std::string& path, ColumnRanges ranges, const std::string& dataName,
                                  const ScalingOptions& options, const NetworkParameters& parameters,
                                  Observer* observer) {
  TextFile file;
  if (!file.openRegular(path)) fail(ErrorKind::kFileAccess, "Can't find/open file: %s\n", path.c_str());
  const int64_t rows = widenByCategoryFile(file, ranges, observer);
  Scaling scaling = makeScaling(ranges, options, dataName);
  Network network(parameters, scaling.inputLength());
  loadCategories(file, scaling, network, observer);
  // More rows than the ranges were widened by could scale outside 0..1.
  if (network.categoryCount() != rows) {
    fail(ErrorKind::kBadCategoryFile, "Bad category/weightfile: %s\n", path.c_str());
  }
  return StoredCategories{std::move(scaling), std::move(network)};
}

}  // namespace fuzzyart
