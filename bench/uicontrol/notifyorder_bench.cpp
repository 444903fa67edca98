// NotifyOrder of a tab record with an empty callback, against the cheapest reading of the
// values the same event needs: one pass over the text for the names, the values copied
// into buffers that are reused (the record must keep the texts it is sent).
#include <benchmark/benchmark.h>

#include <cwchar>
#include <string>
#include <string_view>

#include "common/ratio_reporter.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"

namespace {

const wchar_t kProgress[] = L"PERCENT=3f\n";
// Two titles in turn, so that every title event is a change that is stored and forwarded.
const wchar_t* const kTitles[] = {L"TITLE=A page title of ordinary length\nURL=http://example.test/some/path?q=1\n",
                                  L"TITLE=Another page title, as long\nURL=http://example.test/some/path?q=2\n"};
const wchar_t* const kProgressTexts[] = {kProgress, kProgress};

// The value of the line starting with `prefix` ("NAME="), by hand and in one pass.
void ScanLines(std::wstring_view text, std::wstring_view prefix1, std::wstring_view prefix2, std::wstring_view* value1,
               std::wstring_view* value2) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring_view::npos) end = text.size();
    const std::wstring_view line = text.substr(start, end - start);
    if (line.substr(0, prefix1.size()) == prefix1) *value1 = line.substr(prefix1.size());
    else if (!prefix2.empty() && line.substr(0, prefix2.size()) == prefix2) *value2 = line.substr(prefix2.size());
    start = end + 1;
  }
}

void ReadProgress(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    std::wstring_view percent, unused;
    ScanLines(kProgressTexts[i++ & 1], L"PERCENT=", {}, &percent, &unused);
    unsigned value = 0;
    for (wchar_t c : percent) value = value * 16 + static_cast<unsigned>(c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
    benchmark::DoNotOptimize(value);
  }
}

void ReadTitle(benchmark::State& state) {
  std::wstring title, url;
  size_t i = 0;
  for (auto _ : state) {
    std::wstring_view titleView, urlView;
    ScanLines(kTitles[i++ & 1], L"TITLE=", L"URL=", &titleView, &urlView);
    title.assign(titleView);
    url.assign(urlView);
    benchmark::DoNotOptimize(title.data());
    benchmark::DoNotOptimize(url.data());
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

BENCHMARK(ReadProgress)->Name("Read/PROGRESSCHANGE")->Repetitions(5);
BENCHMARK_CAPTURE(Notify, progress, L"PROGRESSCHANGE", kProgressTexts)->Name("NotifyOrder/PROGRESSCHANGE")->Repetitions(5);
BENCHMARK(ReadTitle)->Name("Read/TITLECHANGE")->Repetitions(5);
BENCHMARK_CAPTURE(Notify, title, L"TITLECHANGE", kTitles)->Name("NotifyOrder/TITLECHANGE")->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  RatioReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;
  reporter.PrintRatio("NotifyOrder PROGRESSCHANGE vs reading its value", "NotifyOrder/PROGRESSCHANGE",
                      "Read/PROGRESSCHANGE", 1.3);
  reporter.PrintRatio("NotifyOrder TITLECHANGE vs reading its values", "NotifyOrder/TITLECHANGE", "Read/TITLECHANGE",
                      1.3);
  return reporter.ExitCode();
}
