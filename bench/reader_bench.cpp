// The text side: rows parsed per second from memory, and both passes of
// preparation over a 100 MB data file on disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "data/row_reader.h"
#include "data/preparation.h"

namespace fuzzyart {
namespace {

std::string makeTable(size_t bytes, int columns) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  std::string text;
  text.reserve(bytes + 256);
  char cell[32];
  while (text.size() < bytes) {
    for (int c = 0; c < columns; ++c) {
      int n = std::snprintf(cell, sizeof cell, c + 1 < columns ? "%.4f " : "%.4f\n", double{value(rng)});
      text.append(cell, static_cast<size_t>(n));
    }
  }
  return text;
}

void BM_ReadDataRow(benchmark::State& state) {
  auto text = std::make_shared<const std::string>(makeTable(16 << 20, 8));
  std::vector<float> row(kRowBufferSize);
  for (auto _ : state) {
    TextFile reader;
    reader.openMemory("table", text);
    RowShape shape;
    while (readDataRow(row.data(), reader, shape) > 0) {
    }
    benchmark::DoNotOptimize(row.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text->size()));
}
BENCHMARK(BM_ReadDataRow)->Unit(benchmark::kMillisecond);

// Both passes over a 100 MB file: read and measure, then scale and write the
// temporary file; with keep (the command line's way) the second pass scales
// the values the first converted, without it the text is read again.
void BM_PrepareDataFile(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / "fuzzyart-bench-prepare";
  std::filesystem::create_directories(dir);
  const std::string data = (dir / "big.dat").string();
  {
    std::string text = makeTable(100 << 20, 8);
    FILE* f = std::fopen(data.c_str(), "w");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  const std::string temp = (dir / "big.BIN").string();
  for (auto _ : state) {
    TextFile file;
    file.open(data);
    Preparation preparation(file, ScalingOptions{});
    if (state.range(0) != 0) preparation.keepValues(size_t{512} << 20);
    preparation.measure(nullptr);
    RecordFileWriter out;
    out.create(temp);
    preparation.scale(preparation.scaling(), out, nullptr);
    out.close();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(data)));
  std::filesystem::remove_all(dir);
}
// Wall time: the first pass scans ahead on a second thread, whose work the
// calling thread's CPU time would leave out.
BENCHMARK(BM_PrepareDataFile)
    ->ArgName("keep")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace
}  // namespace fuzzyart
