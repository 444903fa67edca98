// The cost of logging statements, each beside the baseline it is meant to stay close to:
// a suppressed statement costs one call of GetMinimumLevel; a check while checks are off
// costs one comparison of the switch; a written entry costs little more than the write.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "bench/common/ratio_reporter.h"
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

}  // namespace

int main(int argc, char** argv) {
  RatioReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;
  // No targets: the figures show what a log statement costs beside the least it could.
  reporter.PrintComparison("suppressed statement / level check", "BM_SuppressedStatement", "BM_BaselineLevelCall");
  reporter.PrintComparison("check while off / switch read", "BM_CheckWhileOff", "BM_BaselineSwitchRead");
  reporter.PrintComparison("written entry / plain write", "BM_WrittenEntry", "BM_BaselinePlainWrite");
  std::remove(kFile);
  benchmark::Shutdown();
  return reporter.ExitCode();
}
