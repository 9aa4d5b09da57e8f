// The straightforward implementation that bench/run measures the program
// against: one file, the C library's strtof, every row in memory, one
// contiguous weight vector per category, plain loops. Its arithmetic is the
// program's (sums in index order rounded to single precision after every
// addition, the match quotient in double, the update in double rounded
// once), so its categories and its .FAF are the program's.
//
//   fuzzyart_baseline DATAFILE [-M] [-R#] [-V#] [-G#] [-F#] [-I#]
//
// Writes DATAFILE's name up to its first "." plus ".FAF"; prints the number
// of categories.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Settings {
  bool complement = false;
  int passes = 10;
  float vigilance = 0.5f;
  float beta = 0.9f;
  float itp = 1.0f;
  float alpha = 0.0f;
};

[[noreturn]] void stop(const char* message) {
  std::fprintf(stderr, "fuzzyart_baseline: %s\n", message);
  std::exit(5);
}

// Rows of numbers; "!" lines are comments, a line without numbers ends the data.
std::vector<std::vector<float>> readRows(const char* path) {
  FILE* in = std::fopen(path, "r");
  if (in == nullptr) stop("cannot open the data file");
  std::vector<std::vector<float>> rows;
  std::string line;
  char buffer[65536];
  while (std::fgets(buffer, sizeof buffer, in) != nullptr) {
    line += buffer;
    if (line.back() != '\n' && !std::feof(in)) continue;
    if (line.find('!') == std::string::npos) {
      std::vector<float> row;
      const char* p = line.c_str();
      for (;;) {
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        char* end;
        float v = std::strtof(p, &end);
        if (end == p) break;
        row.push_back(v);
        p = end;
      }
      if (row.empty()) break;
      if (!rows.empty() && row.size() != rows[0].size()) stop("rows of different lengths");
      rows.push_back(std::move(row));
    }
    line.clear();
  }
  std::fclose(in);
  if (rows.empty()) stop("no rows");
  return rows;
}

// Each column into 0..1, then the complements when asked for.
std::vector<std::vector<float>> prepare(const std::vector<std::vector<float>>& rows, bool complement) {
  const size_t columns = rows[0].size();
  std::vector<float> min(columns, 3.4e38f), max(columns, -3.4e38f);
  for (const auto& row : rows) {
    for (size_t c = 0; c < columns; ++c) {
      if (row[c] < min[c]) min[c] = row[c];
      if (row[c] > max[c]) max[c] = row[c];
    }
  }
  std::vector<std::vector<float>> inputs;
  for (const auto& row : rows) {
    std::vector<float> input(complement ? 2 * columns : columns);
    for (size_t c = 0; c < columns; ++c) {
      input[c] = static_cast<float>((double{row[c]} - min[c]) / (double{max[c]} - min[c]));
      if (complement) input[columns + c] = 1.0f - input[c];
    }
    inputs.push_back(std::move(input));
  }
  return inputs;
}

struct Network {
  float alpha;
  float vigilance;
  std::vector<std::vector<float>> weights;
  std::vector<float> denominators;

  void refresh(size_t j) {
    float sum = alpha;
    for (float w : weights[j]) sum += w;
    denominators[j] = sum;
  }

  // The category with the highest choice value among those that pass the
  // match test (the lowest index among equal ones), or -1.
  int search(const std::vector<float>& input) const {
    float inputSum = alpha;
    for (float x : input) inputSum += x;
    int winner = -1;
    float best = 0.0f;
    for (size_t j = 0; j < weights.size(); ++j) {
      float numerator = 0.0f;
      for (size_t i = 0; i < input.size(); ++i) numerator += input[i] < weights[j][i] ? input[i] : weights[j][i];
      const float choice = numerator / denominators[j];
      if (!(choice >= 0.0f) || (winner >= 0 && !(choice > best))) continue;
      if (double{numerator} / double{inputSum} < double{vigilance}) continue;
      winner = static_cast<int>(j);
      best = choice;
    }
    return winner;
  }

  void learn(const std::vector<float>& input, float beta) {
    const int j = weights.empty() ? -1 : search(input);
    if (j < 0) {
      if (weights.size() == 1024) stop("too many categories");
      weights.push_back(input);
      denominators.push_back(0.0f);
      refresh(weights.size() - 1);
      return;
    }
    const double b = beta;
    const double keep = 1.0f - beta;
    for (size_t i = 0; i < input.size(); ++i) {
      const float w = weights[j][i];
      const float m = input[i] < w ? input[i] : w;
      weights[j][i] = static_cast<float>(b * m + keep * w);
    }
    refresh(static_cast<size_t>(j));
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) stop("usage: fuzzyart_baseline DATAFILE [-M] [-R#] [-V#] [-G#] [-F#] [-I#]");
  Settings s;
  for (int k = 2; k < argc; ++k) {
    const char* a = argv[k];
    if (a[0] != '-' || a[1] == '\0') stop("unknown argument");
    switch (a[1]) {
      case 'M': s.complement = true; break;
      case 'R': s.passes = std::atoi(a + 2); break;
      case 'V': s.vigilance = std::strtof(a + 2, nullptr); break;
      case 'G': s.beta = std::strtof(a + 2, nullptr); break;
      case 'F': s.itp = std::strtof(a + 2, nullptr); break;
      case 'I': s.alpha = std::strtof(a + 2, nullptr); break;
      case 'Q': break;
      default: stop("unknown switch");
    }
  }
  const std::vector<std::vector<float>> inputs = prepare(readRows(argv[1]), s.complement);
  Network network{s.alpha, s.vigilance, {}, {}};
  float beta = s.beta;
  for (int pass = 0; pass < s.passes; ++pass) {
    for (const auto& input : inputs) network.learn(input, beta);
    beta = beta * s.itp;
  }
  std::string name = argv[1];
  const size_t slash = name.rfind('/');
  const size_t dot = name.find('.', slash == std::string::npos ? 0 : slash + 1);
  FILE* out = std::fopen((name.substr(0, dot) + ".FAF").c_str(), "w");
  if (out == nullptr) stop("cannot create the .FAF");
  for (const auto& input : inputs) {
    const int j = network.search(input);
    if (j < 0) stop("a row that no category accepts");
    std::fprintf(out, "%d\n", j + 1);
  }
  std::fclose(out);
  std::printf("%zu\n", network.weights.size());
  return 0;
}
