// NotifyOrder of a tab record with an empty callback, against parsing the same event
// text alone (the floor of the work an event needs).
#include <benchmark/benchmark.h>

#include "common/ratio_reporter.h"
#include "uicontrol/eventtext.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

namespace {

const wchar_t kProgress[] = L"PERCENT=3f\n";
const wchar_t kTitle[] = L"TITLE=A page title of ordinary length\u00ae\nURL=http://example.test/some/path?q=1\n";

void ParseOnly(benchmark::State& state, const wchar_t* text) {
  for (auto _ : state) {
    EventParams params = ParseEventText(text);
    benchmark::DoNotOptimize(params);
  }
}

void Notify(benchmark::State& state, const wchar_t* key, const wchar_t* text) {
  CTabManager::RegisterNotify([](unsigned int, const wchar_t*, const wchar_t*) {});
  CTabInfo record;
  record.uID = 1;
  for (auto _ : state) {
    // Alternate the stored title so that every title change counts as a change.
    record.strURL.Set(std::wstring());
    benchmark::DoNotOptimize(record.NotifyOrder(key, text, 0));
  }
  CTabManager::RegisterNotify(nullptr);
}

BENCHMARK_CAPTURE(ParseOnly, progress, kProgress)->Name("Parse/PROGRESSCHANGE");
BENCHMARK_CAPTURE(Notify, progress, L"PROGRESSCHANGE", kProgress)->Name("NotifyOrder/PROGRESSCHANGE");
BENCHMARK_CAPTURE(ParseOnly, title, kTitle)->Name("Parse/TITLECHANGE");
BENCHMARK_CAPTURE(Notify, title, L"TITLECHANGE", kTitle)->Name("NotifyOrder/TITLECHANGE");

}  // namespace

int main(int argc, char** argv) {
  RatioReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;
  reporter.PrintRatio("NotifyOrder PROGRESSCHANGE vs parse alone", "NotifyOrder/PROGRESSCHANGE",
                      "Parse/PROGRESSCHANGE", 1.5);
  reporter.PrintRatio("NotifyOrder TITLECHANGE vs parse alone", "NotifyOrder/TITLECHANGE", "Parse/TITLECHANGE", 1.5);
  return 0;
}
