#pragma once
// Samples timed outside Google Benchmark's loop (interleaved rounds of two or more
// variants, so that a busy moment falls on all of them), handed to it as a benchmark of
// one iteration per sample: the reporter's median is then the samples' median.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <memory>
#include <vector>

inline void RegisterReplay(const char* name, const std::vector<double>& samples) {
  auto next = std::make_shared<size_t>(0);
  benchmark::RegisterBenchmark(name, [samples, next](benchmark::State& state) {
    for (auto _ : state) state.SetIterationTime(samples[(*next)++ % samples.size()]);
  })->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(static_cast<int>(samples.size()));
}
