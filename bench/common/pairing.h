#pragma once
// The paired mode of the benchmarks, without the benchmark library: its option, the order
// of the benchmarks in each round, and the ratio of two figures taken round by round.
// A busy moment on a shared machine falls on both sides of a round, so the median of the
// rounds' ratios holds still where the ratio of two medians taken minutes apart does not.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

// Rounds when "--paired" comes without a number.
inline constexpr int kDefaultPairedRounds = 7;

// Takes "--paired" or "--paired=N" (N from 2 to 1000) out of argv. Returns the rounds (0:
// not paired); a bad number is an error (returns -1 and says why in *error).
inline int TakePairedOption(int* argc, char** argv, std::string* error) {
  int rounds = 0;
  int out = 1;
  for (int i = 1; i < *argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--paired") == 0) {
      rounds = kDefaultPairedRounds;
      continue;
    }
    if (std::strncmp(arg, "--paired=", 9) == 0) {
      char* end = nullptr;
      const long n = std::strtol(arg + 9, &end, 10);
      if (end == arg + 9 || *end != '\0' || n < 2 || n > 1000) {
        *error = std::string("--paired wants a number of rounds from 2 to 1000, not \"") + (arg + 9) + "\"";
        return -1;
      }
      rounds = static_cast<int>(n);
      continue;
    }
    argv[out++] = argv[i];
  }
  *argc = out;
  argv[out] = nullptr;  // argv has argc + 1 slots
  return rounds;
}

// The order of `count` benchmarks in round `round`: each starts one place later than in
// the round before, so that none is always first (after a pause) or always last.
inline std::vector<size_t> RotatedOrder(size_t count, int round) {
  std::vector<size_t> order(count);
  for (size_t i = 0; i < count; ++i) order[i] = (i + static_cast<size_t>(round)) % count;
  return order;
}

// Median of the values (the upper one of an even count); 0 for none.
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The median over rounds of measured[r] / baseline[r], for the rounds both sides have a
// positive figure of; 0 when there is none.
inline double PairedRatio(const std::vector<double>& measured, const std::vector<double>& baseline) {
  std::vector<double> ratios;
  for (size_t r = 0; r < std::min(measured.size(), baseline.size()); ++r) {
    if (measured[r] > 0 && baseline[r] > 0) ratios.push_back(measured[r] / baseline[r]);
  }
  return Median(ratios);
}

// A filter (the benchmark library's regular expression) that matches `name` alone.
inline std::string ExactFilter(const std::string& name) {
  std::string filter = "^";
  for (char c : name) {
    if (std::strchr("\\^$.|?*+()[]{}", c)) filter += '\\';
    filter += c;
  }
  return filter + "$";
}

}  // namespace bench
