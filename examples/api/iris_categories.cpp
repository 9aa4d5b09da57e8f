// Learns categories of the iris data in memory and prints the category of
// every row, counted from 1 (the lines of `fuzzyart iris.dat -V0.75 -W`'s
// .FAF). Given a second argument STEM, it also saves STEM.FAC, STEM.FAF and
// STEM.BKC, the files that run writes.
#include <fuzzyart/fuzzyart.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "iris.dat";
  try {
    const fuzzyart::RowTable table = fuzzyart::readDataFile(path);
    const fuzzyart::ScalingOptions options;  // every column, no division by the row sum, no complements
    const fuzzyart::Scaling scaling =
        fuzzyart::makeScaling(fuzzyart::measureRanges(table.values, table.columns, false, path), options, path);
    std::vector<float> rows(static_cast<size_t>(table.rows * scaling.inputLength()));
    fuzzyart::prepareRows(scaling, table.values, rows, false, path);

    fuzzyart::NetworkParameters parameters;
    parameters.vigilance = 0.75f;
    fuzzyart::Network network(parameters, scaling.inputLength());
    fuzzyart::MemoryRows source(rows, static_cast<size_t>(scaling.inputLength()));
    network.learn(source);
    const fuzzyart::Classification result = fuzzyart::classifyAll(network, source, scaling);
    for (const int category : result.categories) std::printf("%d\n", category + 1);

    if (argc > 2) {
      const std::string stem = argv[2];
      fuzzyart::saveCategoryFile(stem + ".FAC", network, scaling, result.tally.counts());
      fuzzyart::saveValueFile(stem + ".FAF", result.categories);
      fuzzyart::saveCentreFile(stem + ".BKC", result.tally, scaling);
    }
  } catch (const fuzzyart::Error& error) {
    std::fprintf(stderr, "%s: %s", path.c_str(), error.what());
    return 1;
  }
  return 0;
}
