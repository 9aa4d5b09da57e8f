// Learning alone, timed, on the prepared rows a run of the program left in
// its .BIN: the choice work of every row counted exactly (categories at the
// row times the input length), and its rate.
//
//   fuzzyart_learn_timer FILE.BIN LENGTH PASSES VIGILANCE BETA ITP THREADS
//
// Prints: seconds of learning, element operations of learning, element
// operations of the recall pass (rows times final categories times length),
// and the final number of categories.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "data/record_file.h"
#include "fuzzyart/fuzzyart.h"

namespace {

class CountingObserver : public fuzzyart::Observer {
 public:
  explicit CountingObserver(int64_t length) : length_(length) {}
  bool onRow(fuzzyart::RowLoop, int64_t, int categories) override {
    operations += categories * length_;
    ++rows;
    return true;
  }
  int64_t operations = 0;
  int64_t rows = 0;

 private:
  int64_t length_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: fuzzyart_learn_timer FILE.BIN LENGTH PASSES VIGILANCE BETA ITP THREADS\n");
    return 2;
  }
  const size_t length = std::strtoul(argv[2], nullptr, 10);
  fuzzyart::NetworkParameters p;
  p.iterations = std::atoi(argv[3]);
  p.vigilance = std::strtof(argv[4], nullptr);
  p.beta = std::strtof(argv[5], nullptr);
  p.itp = std::strtof(argv[6], nullptr);
  p.threads = std::atoi(argv[7]);
  fuzzyart::RecordFileReader rows;
  if (!rows.open(argv[1], length)) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  fuzzyart::Network network(p, static_cast<int>(length));
  CountingObserver counter(static_cast<int64_t>(length));
  const auto start = std::chrono::steady_clock::now();
  network.learn(rows, &counter);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  const int64_t rowsPerPass = counter.rows / p.iterations;
  std::printf("%.4f %lld %lld %d\n", seconds.count(), static_cast<long long>(counter.operations),
              static_cast<long long>(rowsPerPass * network.categoryCount() * static_cast<int64_t>(length)),
              network.categoryCount());
  return 0;
}
