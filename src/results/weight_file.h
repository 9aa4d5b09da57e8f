// The category/weight file (.FAC): one line per category, its weights in the
// units of the data. Written for every data file; read back by a recall run.
#pragma once

#include <string>

namespace fuzzyart {

class CategoryTable;
class LineReader;
class OutputFile;
struct Ranges;
struct RowShape;
struct RunSettings;

// Prints "\nWriting Category/Weightfile.\n", the count line of each category
// on standard output, and writes the file: at debug level 1 or more the two
// "!" header lines and each row's count, at level 2 the "k[i][j]=" labels.
// Every write, and the final flush, is checked.
void writeCategoryWeightFile(OutputFile& file, const CategoryTable& table, const Ranges& ranges,
                             const RunSettings& settings, const std::string& dataName, int variableCount);

// A recall run's categories: every row of the stored file (read once already
// by preparation, which widened the ranges) scaled into 0..1, with the
// complement weights rebuilt as 1 minus the first half when this run uses
// complement coding. Closes the stream and prints the final count line.
void loadCategories(LineReader& categoryStream, CategoryTable& table, const Ranges& ranges, RowShape& shape,
                    const RunSettings& settings, int inputLength, float* rowBuffer);

}  // namespace fuzzyart
