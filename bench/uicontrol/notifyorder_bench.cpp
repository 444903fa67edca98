// NotifyOrder of a tab record with an empty callback, against parsing the same event
// text alone (the floor of the work an event needs).
#include <benchmark/benchmark.h>

#include "common/ratio_reporter.h"
#include "uicontrol/eventtext.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

namespace {

const wchar_t kProgress[] = L"PERCENT=3f\n";
// Two titles in turn, so that every title event is a change that is stored and forwarded.
const wchar_t* const kTitles[] = {L"TITLE=A page title of ordinary length\nURL=http://example.test/some/path?q=1\n",
                                  L"TITLE=Another page title, as long\nURL=http://example.test/some/path?q=2\n"};

void ParseOnly(benchmark::State& state, const wchar_t* const* texts) {
  size_t i = 0;
  for (auto _ : state) {
    EventParams params = ParseEventText(texts[i++ & 1]);
    benchmark::DoNotOptimize(params);
  }
}

void Notify(benchmark::State& state, const wchar_t* key, const wchar_t* const* texts) {
  CTabManager::RegisterNotify([](unsigned int, const wchar_t*, const wchar_t*) {});
  CTabInfo record;
  record.uID = 1;
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(record.NotifyOrder(key, texts[i++ & 1], 0));
  CTabManager::RegisterNotify(nullptr);
}

const wchar_t* const kProgressTexts[] = {kProgress, kProgress};

BENCHMARK_CAPTURE(ParseOnly, progress, kProgressTexts)->Name("Parse/PROGRESSCHANGE")->Repetitions(5);
BENCHMARK_CAPTURE(Notify, progress, L"PROGRESSCHANGE", kProgressTexts)->Name("NotifyOrder/PROGRESSCHANGE")->Repetitions(5);
BENCHMARK_CAPTURE(ParseOnly, title, kTitles)->Name("Parse/TITLECHANGE")->Repetitions(5);
BENCHMARK_CAPTURE(Notify, title, L"TITLECHANGE", kTitles)->Name("NotifyOrder/TITLECHANGE")->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  RatioReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;
  reporter.PrintRatio("NotifyOrder PROGRESSCHANGE vs parse alone", "NotifyOrder/PROGRESSCHANGE",
                      "Parse/PROGRESSCHANGE", 1.5);
  reporter.PrintRatio("NotifyOrder TITLECHANGE vs parse alone", "NotifyOrder/TITLECHANGE", "Parse/TITLECHANGE", 1.5);
  return 0;
}
