#include "results/weight_file.h"

#include "data/line_reader.h"
#include "data/ranges.h"
#include "data/row_reader.h"
#include "engine/category_table.h"
#include "results/output_file.h"
#include "run/console.h"
#include "run/switches.h"

namespace fuzzyart {

void writeCategoryWeightFile(OutputFile& file, const CategoryTable& table, const Ranges& ranges,
                             const RunSettings& s, const std::string& dataName, int variableCount) {
  consoleErr("\nWriting Category/Weightfile.\n");
  if (s.debugLevel >= 1) {
    writeChecked(file,
                 "! Category/weightfile for datafile: %s\n! No.of Iter:%d \xe0:%.3f \xe1:%.3f Vigilance:%.3f "
                 "Itp:%.3f CompCode:%c\n",
                 dataName.c_str(), s.iterations, double{s.alpha}, double{s.beta}, double{s.vigilance},
                 double{s.itp}, s.complementCoding ? 'Y' : 'N');
  }
  for (int i = 0; i < table.count(); ++i) {
    const long long count = table.counts(i);
    consoleOut("Counts of category%-2d: %6lld\n", i + 1, count);
    if (s.debugLevel >= 1) writeChecked(file, "Counts=%-6lld ", count);
    for (int j = 0; j < variableCount; ++j) {
      const double value = unscaleValue(ranges, table.weight(i, j), j);
      if (s.debugLevel >= 2) {
        writeChecked(file, "k[%d][%d]=%-12.6G ", i, j, value);
      } else {
        writeChecked(file, "%-12.6G ", value);
      }
    }
    writeChecked(file, "\n");
  }
  consoleErr("\n");
  if (!file.flush()) panicDiskFull();
}

void loadCategories(LineReader& categoryStream, CategoryTable& table, const Ranges& ranges, RowShape& shape,
                    const RunSettings& s, int inputLength, float* row) {
  categoryStream.rewind();
  const int variables = shape.variableCount;
  for (;;) {
    int32_t n = readDataRow(row, categoryStream, shape);
    if (n == 0) break;
    // Preparation checked every row; a negative result means the file changed
    // since.
    if (n < 0) panic("Bad category/weightfile: %s\n", s.categoryFile.c_str());
    const int j = table.count();
    if (j == kMaxCategories) panic("Too many categories. Max:%d\n", kMaxCategories);
    reserveCategory(table, j, inputLength, s.debugLevel);
    for (int i = 0; i < variables; ++i) {
      float w = static_cast<float>(scaleValue(ranges, row[i], i));
      table.setWeight(j, i, w);
      if (s.complementCoding) table.setWeight(j, variables + i, 1.0f - w);
    }
    table.markCommitted(j);
  }
  categoryStream.close();
  consoleErr("\nFinal number of categories: %-2d\n ", table.count());
}

}  // namespace fuzzyart
