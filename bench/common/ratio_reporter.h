#pragma once
// A console reporter that also keeps each benchmark's time per iteration, so that a
// program can print ratios between benchmarks measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Prints measured / baseline beside the target; returns false when either is missing.
  bool PrintRatio(const std::string& label, const std::string& measured, const std::string& baseline,
                  double target) const {
    auto m = m_times.find(measured);
    auto b = m_times.find(baseline);
    if (m == m_times.end() || b == m_times.end() || b->second <= 0) {
      std::printf("%-48s not measured\n", label.c_str());
      return false;
    }
    const double ratio = m->second / b->second;
    std::printf("%-48s %8.3fx of baseline (target <= %.2fx) %s\n", label.c_str(), ratio, target,
                ratio <= target ? "ok" : "ABOVE TARGET");
    return true;
  }

 private:
  std::map<std::string, double> m_times;
};

// Runs the registered benchmarks with the reporter; the caller prints its ratios after.
inline int RunWithRatios(int argc, char** argv, RatioReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  return 0;
}
