// The cost of logging statements, each beside the baseline it is meant to stay close to:
// a suppressed statement costs one call of GetMinimumLevel; a check while checks are off
// costs one comparison of the switch; a written entry costs little more than the write.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "logging/logging.h"
#include "platform/text.h"

namespace {

std::string Expensive() { return std::string(200, 'x'); }

void BM_BaselineLevelCall(benchmark::State& state) {
  logging::SetMinimumLevel(logging::LOG_ERROR);
  for (auto _ : state) benchmark::DoNotOptimize(logging::GetMinimumLevel() <= logging::LOG_INFO);
}

void BM_SuppressedStatement(benchmark::State& state) {
  logging::SetMinimumLevel(logging::LOG_ERROR);
  for (auto _ : state) LOG_AT(logging::LOG_INFO) << Expensive() << 42;
}

void BM_BaselineSwitchRead(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(logging::GetChecksSwitch() != 1);
}

void BM_CheckWhileOff(benchmark::State& state) {
  for (auto _ : state) CHECK_REPORT(Expensive().empty());
}

const char kFile[] = "/tmp/uicontrol-logging-bench.log";

void BM_BaselinePlainWrite(benchmark::State& state) {
  int fd = open(kFile, O_WRONLY | O_CREAT | O_APPEND | O_TRUNC, 0644);
  const std::string line = "[01-02/03:04:05 WARNING logging_bench.cpp(40)] " + Expensive() + " 42\n";
  for (auto _ : state) benchmark::DoNotOptimize(write(fd, line.data(), line.size()));
  close(fd);
}

void BM_WrittenEntry(benchmark::State& state) {
  logging::SetMinimumLevel(logging::LOG_INFO);
  logging::ConfigureLogging(platform::Utf8ToWide(kFile), logging::TargetFile, logging::LockInProcess,
                            logging::DeleteOldLogFile, 0);
  for (auto _ : state) LOG_AT(logging::LOG_WARNING) << Expensive() << 42;
  logging::ReleaseLogFile();
}

BENCHMARK(BM_BaselineLevelCall);
BENCHMARK(BM_SuppressedStatement);
BENCHMARK(BM_BaselineSwitchRead);
BENCHMARK(BM_CheckWhileOff);
BENCHMARK(BM_BaselinePlainWrite);
BENCHMARK(BM_WrittenEntry);

// Keeps each run's time so that the ratios can be printed after the table.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

void PrintRatio(const RecordingReporter& reporter, const char* measured, const char* baseline) {
  auto m = reporter.times.find(measured);
  auto b = reporter.times.find(baseline);
  if (m == reporter.times.end() || b == reporter.times.end() || b->second <= 0) return;
  std::printf("%-24s %10.2f ns   %-24s %10.2f ns   ratio %.2f\n", measured, m->second, baseline, b->second,
              m->second / b->second);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatio(reporter, "BM_SuppressedStatement", "BM_BaselineLevelCall");
  PrintRatio(reporter, "BM_CheckWhileOff", "BM_BaselineSwitchRead");
  PrintRatio(reporter, "BM_WrittenEntry", "BM_BaselinePlainWrite");
  std::remove(kFile);
  benchmark::Shutdown();
  return 0;
}
