// The content filter on EasyList + EasyPrivacy: load and index time of the lists, memory
// of the index, and time per request over the request set (request_corpus.h), through
// the token index and by the plain loop over all rules (the baseline), with the ratio.
// After the Google Benchmark runs it prints the median and 99th percentile of single
// requests timed one by one (the goal: a median under 2 microseconds). Skips with a
// message when the lists are not installed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/common/ratio_reporter.h"
#include "bench/contentfilter/request_corpus.h"
#include "components/contentfilter/contentfilter.h"

namespace {

using contentfilter::FilterSet;
using contentfilter::FilterSetBuilder;
using contentfilter_bench::CorpusRequest;

std::vector<std::string> g_listTexts;
std::shared_ptr<const FilterSet> g_set;
std::vector<CorpusRequest> g_requests;

std::shared_ptr<const FilterSet> BuildFromTexts() {
  FilterSetBuilder builder;
  for (size_t i = 0; i < g_listTexts.size(); ++i) builder.AddListText(g_listTexts[i], "list" + std::to_string(i));
  return builder.Build();
}

// Parsing and indexing of both lists, from text already in memory.
void BM_LoadAndIndex(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(BuildFromTexts());
}
BENCHMARK(BM_LoadAndIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

// A generated list of 100,000 lines of every kind.
void BM_LoadGenerated100k(benchmark::State& state) {
  std::string list;
  for (int i = 0; i < 100000; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 4) {
      case 0: list += "||host" + n + ".example^$third-party\n"; break;
      case 1: list += "/path" + n + "/*.js$script,domain=a" + n + ".org|~b.a" + n + ".org\n"; break;
      case 2: list += "@@||host" + n + ".example/ok^\n"; break;
      default: list += "site" + n + ".org,~sub.site" + n + ".org##.ad" + n + "\n"; break;
    }
  }
  for (auto _ : state) {
    FilterSetBuilder builder;
    builder.AddListText(list, "generated");
    benchmark::DoNotOptimize(builder.Build());
  }
}
BENCHMARK(BM_LoadGenerated100k)->Unit(benchmark::kMillisecond)->Iterations(3);

// One request per iteration, cycling through the set.
void BM_MatchIndexed(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    const CorpusRequest& r = g_requests[i++ % g_requests.size()];
    benchmark::DoNotOptimize(g_set->Match(r.url, r.document, r.type));
  }
}
BENCHMARK(BM_MatchIndexed)->Unit(benchmark::kMicrosecond)->Repetitions(3);

void BM_MatchPlainLoop(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    const CorpusRequest& r = g_requests[i++ % g_requests.size()];
    benchmark::DoNotOptimize(g_set->MatchByScan(r.url, r.document, r.type));
  }
}
BENCHMARK(BM_MatchPlainLoop)->Unit(benchmark::kMicrosecond)->Repetitions(3);

// The element hiding style sheet for a page (generic and per-domain selectors).
void BM_HidingStyleSheet(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(g_set->HidingStyleSheet(g_requests[i++ % g_requests.size()].document));
}
BENCHMARK(BM_HidingStyleSheet)->Unit(benchmark::kMillisecond);

// Single requests timed one by one: the median and the 99th percentile.
template <typename F>
void PrintPercentiles(const char* label, const std::vector<CorpusRequest>& requests, size_t passes, size_t stride,
                      F&& match) {
  std::vector<double> nanos;
  for (size_t pass = 0; pass < passes; ++pass) {
    for (size_t i = pass % stride; i < requests.size(); i += stride) {
      const CorpusRequest& r = requests[i];
      const auto start = std::chrono::steady_clock::now();
      benchmark::DoNotOptimize(match(r));
      const auto end = std::chrono::steady_clock::now();
      nanos.push_back(std::chrono::duration<double, std::nano>(end - start).count());
    }
  }
  std::sort(nanos.begin(), nanos.end());
  const double median = nanos[nanos.size() / 2] / 1000;
  const double p99 = nanos[nanos.size() * 99 / 100] / 1000;
  std::printf("%-28s median %9.3f us  p99 %9.3f us  (%zu requests timed)\n", label, median, p99, nanos.size());
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmRSS:") == 0) return std::stol(line.substr(6));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto lists = contentfilter::InstalledEasyLists();
  if (lists.size() < 2) {
    std::printf("contentfilter_bench: skipped, EasyList and EasyPrivacy are not installed "
                "(Debian package webext-ublock-origin-firefox)\n");
    return 0;
  }
  for (const auto& path : lists) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    g_listTexts.push_back(text.str());
  }
  const long rssBefore = ResidentKiB();
  const auto loadStart = std::chrono::steady_clock::now();
  g_set = BuildFromTexts();
  const double loadMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStart).count();
  const long rssAfter = ResidentKiB();
  g_requests = contentfilter_bench::BuildRequestCorpus(lists, 6000);

  RatioReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;

  const auto& stats = g_set->Stats();
  std::printf("lists: %zu lines, %zu blocking rules, %zu exceptions, %zu hiding rules, %zu hiding exceptions, "
              "%zu comments, %zu skipped\n",
              stats.lines, stats.blockingRules, stats.exceptionRules, stats.hidingRules, stats.hidingExceptions,
              stats.comments, stats.skippedTotal());
  for (size_t r = 0; r < stats.skipped.size(); ++r) {
    if (stats.skipped[r]) {
      std::printf("  skipped, %-20s %zu\n", contentfilter::SkipReasonName(static_cast<contentfilter::SkipReason>(r)),
                  stats.skipped[r]);
    }
  }
  std::printf("load and index (first, cold): %.1f ms; index memory (estimate) %.1f MiB; resident growth %.1f MiB\n",
              loadMs, g_set->MemoryBytes() / 1048576.0, (rssAfter - rssBefore) / 1024.0);
  std::vector<CorpusRequest> decided, unmatched;
  for (const auto& r : g_requests) {
    const bool matched = g_set->Match(r.url, r.document, r.type).verdict != contentfilter::Verdict::NoMatch;
    (matched ? decided : unmatched).push_back(r);
  }
  std::printf("request set: %zu requests, %zu matching a rule\n", g_requests.size(), decided.size());
  const auto indexed = [](const CorpusRequest& r) { return g_set->Match(r.url, r.document, r.type); };
  PrintPercentiles("token index, all:", g_requests, 20, 1, indexed);
  PrintPercentiles("token index, matching:", decided, 20, 1, indexed);
  PrintPercentiles("token index, no match:", unmatched, 20, 1, indexed);
  PrintPercentiles("plain loop (baseline):", g_requests, 1, 4,
                   [](const CorpusRequest& r) { return g_set->MatchByScan(r.url, r.document, r.type); });
  reporter.PrintRatio("time per request, index / plain loop", "BM_MatchIndexed", "BM_MatchPlainLoop", 0.05);
  benchmark::Shutdown();
  return reporter.ExitCode();
}
