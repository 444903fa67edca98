#pragma once
// A console reporter that also keeps each benchmark's time per iteration (the median of
// its repetitions), so that a program can print ratios between benchmarks of one run.
// With "--paired[=N]" (see pairing.h) the benchmarks run in N interleaved rounds and each
// ratio is the median of the rounds' ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pairing.h"

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  bool ReportContext(const Context& context) override {
    if (m_contextShown) return true;  // once, not once per round
    m_contextShown = true;
    return ConsoleReporter::ReportContext(context);
  }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const std::string raw = run.benchmark_name();
      if (m_rawNames.empty() || m_rawNames.back() != raw) {
        bool known = false;
        for (const std::string& name : m_rawNames) known = known || name == raw;
        if (!known) m_rawNames.push_back(raw);
      }
      Record(ShortName(raw), m_round, run.GetAdjustedRealTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Samples measured outside the library, one per round (interleaved by the program):
  // taken as rounds, so that their ratios are paired.
  void AddRounds(const std::string& name, const std::vector<double>& samples) {
    for (size_t r = 0; r < samples.size(); ++r) Record(name, static_cast<int>(r), samples[r]);
  }

  // Prints measured / baseline beside the target; returns false when either is missing.
  // A missing figure or one above its target makes ExitCode() non-zero.
  bool PrintRatio(const std::string& label, const std::string& measured, const std::string& baseline,
                  double target) {
    double ratio = 0;
    std::string how;
    if (!Ratio(measured, baseline, &ratio, &how)) {
      std::printf("%-48s not measured\n", label.c_str());
      m_failed = true;
      return false;
    }
    std::printf("%-48s %8.3fx of baseline (target <= %.2fx) %s%s\n", label.c_str(), ratio, target,
                ratio <= target ? "ok" : "ABOVE TARGET", how.c_str());
    if (ratio > target) m_failed = true;
    return true;
  }
  // A ratio shown for comparison only: it has no target and fails nothing.
  void PrintComparison(const std::string& label, const std::string& measured, const std::string& baseline) {
    double ratio = 0;
    std::string how;
    if (Ratio(measured, baseline, &ratio, &how)) std::printf("%-48s %8.3fx%s\n", label.c_str(), ratio, how.c_str());
    else std::printf("%-48s not measured\n", label.c_str());
  }

  // Marks the run as failed (a wait that timed out, a figure that could not be taken).
  void Fail(const std::string& why) {
    std::printf("FAILED: %s\n", why.c_str());
    m_failed = true;
  }
  // What main returns: 0 when every figure was taken and within its target.
  int ExitCode() const { return m_failed ? 1 : 0; }

  void SetRound(int round) { m_round = round; }
  const std::vector<std::string>& RawNames() const { return m_rawNames; }

 private:
  // The name without "/repeats:N", as the programs name their figures.
  static std::string ShortName(std::string name) {
    const size_t repeats = name.find("/repeats:");
    if (repeats != std::string::npos) name.erase(repeats, name.find('/', repeats + 1) - repeats);
    return name;
  }
  void Record(const std::string& name, int round, double value) {
    std::vector<std::vector<double>>& rounds = m_times[name];
    if (rounds.size() <= static_cast<size_t>(round)) rounds.resize(static_cast<size_t>(round) + 1);
    rounds[static_cast<size_t>(round)].push_back(value);
  }
  // Paired when both figures were taken in more than one round; else the medians' ratio.
  bool Ratio(const std::string& measured, const std::string& baseline, double* ratio, std::string* how) const {
    auto m = m_times.find(measured);
    auto b = m_times.find(baseline);
    if (m == m_times.end() || b == m_times.end()) return false;
    if (m->second.size() > 1 && b->second.size() > 1) {
      std::vector<double> mr, br;
      for (const auto& values : m->second) mr.push_back(bench::Median(values));
      for (const auto& values : b->second) br.push_back(bench::Median(values));
      *ratio = bench::PairedRatio(mr, br);
      *how = " (paired, " + std::to_string(std::min(mr.size(), br.size())) + " rounds)";
      return *ratio > 0;
    }
    std::vector<double> all_m, all_b;
    for (const auto& values : m->second) all_m.insert(all_m.end(), values.begin(), values.end());
    for (const auto& values : b->second) all_b.insert(all_b.end(), values.begin(), values.end());
    const double base = bench::Median(all_b);
    if (all_m.empty() || base <= 0) return false;
    *ratio = bench::Median(all_m) / base;
    return true;
  }

  std::map<std::string, std::vector<std::vector<double>>> m_times;  // name -> rounds -> values
  std::vector<std::string> m_rawNames;                               // in the order first run
  int m_round = 0;
  bool m_contextShown = false;
  bool m_failed = false;
};

// Runs the registered benchmarks with the reporter; the caller prints its ratios after.
// "--paired[=N]": N rounds, the first runs every benchmark as registered, each later one
// runs each of them once more in a rotated order. Returns non-zero on a bad command line.
inline int RunWithRatios(int argc, char** argv, RatioReporter& reporter) {
  std::string error;
  const int rounds = bench::TakePairedOption(&argc, argv, &error);
  if (rounds < 0) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const std::vector<std::string> names = reporter.RawNames();
  for (int round = 1; round < rounds; ++round) {
    reporter.SetRound(round);
    for (size_t i : bench::RotatedOrder(names.size(), round))
      benchmark::RunSpecifiedBenchmarks(&reporter, bench::ExactFilter(names[i]));
  }
  std::printf("\n");
  return 0;
}
