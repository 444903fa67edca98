#pragma once
// A console reporter that also keeps each benchmark's time per iteration (the median of
// its repetitions), so that a program can print ratios between benchmarks of one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      std::string name = run.benchmark_name();
      const size_t repeats = name.find("/repeats:");
      if (repeats != std::string::npos) name.erase(repeats, name.find('/', repeats + 1) - repeats);
      m_times[name].push_back(run.GetAdjustedRealTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Prints measured / baseline beside the target; returns false when either is missing.
  // A missing figure or one above its target makes ExitCode() non-zero.
  bool PrintRatio(const std::string& label, const std::string& measured, const std::string& baseline,
                  double target) {
    auto m = m_times.find(measured);
    auto b = m_times.find(baseline);
    if (m == m_times.end() || b == m_times.end() || Median(b->second) <= 0) {
      std::printf("%-48s not measured\n", label.c_str());
      m_failed = true;
      return false;
    }
    const double ratio = Median(m->second) / Median(b->second);
    std::printf("%-48s %8.3fx of baseline (target <= %.2fx) %s\n", label.c_str(), ratio, target,
                ratio <= target ? "ok" : "ABOVE TARGET");
    if (ratio > target) m_failed = true;
    return true;
  }

  // Marks the run as failed (a wait that timed out, a figure that could not be taken).
  void Fail(const std::string& why) {
    std::printf("FAILED: %s\n", why.c_str());
    m_failed = true;
  }
  // What main returns: 0 when every figure was taken and within its target.
  int ExitCode() const { return m_failed ? 1 : 0; }

 private:
  static double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  }
  std::map<std::string, std::vector<double>> m_times;
  bool m_failed = false;
};

// Runs the registered benchmarks with the reporter; the caller prints its ratios after.
inline int RunWithRatios(int argc, char** argv, RatioReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  return 0;
}
