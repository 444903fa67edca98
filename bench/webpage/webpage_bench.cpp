// Time to "DOCUMENTCOMPLETE" for a local page, from AddTab through the library and from
// page creation and NAVIGATE through the component alone, against the same page loaded by
// Chromium alone through the same protocol (create a target, attach, enable the page
// domain, navigate, wait for the load event) with no component logic in between. All run
// in one program, each with a Chromium of its own started before timing; the ratios are
// printed at the end. Target: within 1.2 times Chromium alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>

#include "components/webpage/browser.h"
#include "components/webpage/engineloop.h"
#include "components/webpage/webpagemanager.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/tabmanager.h"
#include "webpage/httpserver.h"

namespace {

using namespace std::chrono_literals;

const char kPage[] =
    "<!DOCTYPE html><html><head><title>Bench page</title></head><body><h1>Bench</h1>"
    "<p>A small local page with a little text and a list.</p><ul><li>one</li><li>two</li><li>three</li></ul>"
    "</body></html>";

webtest::CHttpServer& Server() {
  static webtest::CHttpServer server;
  static bool routed = false;
  if (!routed) {
    server.Html("/bench", kPage);
    routed = true;
  }
  return server;
}

// Waits for one event of a key and value, set from the engine's thread.
class CWaiter {
 public:
  void Arm(std::string expected) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_expected = std::move(expected);
    m_done = false;
  }
  void Offer(const std::string& what) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (what != m_expected) return;
    m_done = true;
    m_changed.notify_all();
  }
  bool Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, 60s, [this] { return m_done; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::string m_expected;
  bool m_done = false;
};

class CCompleteSink : public INotifOrderStub {
 public:
  explicit CCompleteSink(CWaiter& waiter) : m_waiter(waiter) {}
  HRESULT QueryInterface(const GUID&, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT NotifyOrder(const wchar_t*, const wchar_t* value, int) override {
    m_waiter.Offer(platform::WideToUtf8(value ? value : L""));
    return S_OK;
  }
  HRESULT CreateSHowHideEvent(HWND) override { return S_OK; }

 private:
  CWaiter& m_waiter;
};

void BM_ThroughComponent(benchmark::State& state) {
  qxdk::UTIL::com_ptr<IWebPageManager> manager;
  CreateWebPageManager(WebPageOptions(), &manager);
  CWaiter waiter;
  auto sink = std::make_shared<CCompleteSink>(waiter);
  std::string url = Server().Url("/bench");
  std::wstring order = L"CMD=NAVIGATE\nURL=" + platform::Utf8ToWide(url) + L"\n";
  auto load = [&](bool timed) {
    waiter.Arm("URL=" + url + "\n");
    qxdk::UTIL::com_ptr<IWebPage> page;
    if (FAILED(manager->NewPage(nullptr, &page))) return false;
    qxdk::UTIL::com_ptr<IWebPageNotifier> notifier;
    page.QueryInterface(notifier);
    notifier->Subscribe(L"DOCUMENTCOMPLETE", sink, nullptr);
    page->SendOrder(order.c_str());
    bool ok = waiter.Wait();
    if (timed) state.PauseTiming();
    page->SendOrder(L"CMD=ClOSETAB\n");
    page = nullptr;
    if (timed) state.ResumeTiming();
    return ok;
  };
  if (!load(false)) {  // starts Chromium, outside the measurement
    state.SkipWithError("the component could not load the page");
    return;
  }
  for (auto _ : state) {
    if (!load(true)) state.SkipWithError("a load failed");
  }
}

// The same load through the library: AddTab to the "DOCUMENTCOMPLETE" that reaches the
// user-interface callback.
void BM_ThroughLibrary(benchmark::State& state) {
  qxdk::UTIL::com_ptr<IWebPageManager> manager;
  CreateWebPageManager(WebPageOptions(), &manager);
  CWaiter waiter;
  CTabManager& tm = CTabManager::Instance();
  CTabManager::SetWebPageManager(manager);
  CTabManager::RegisterNotify([&waiter](unsigned int, const wchar_t* key, const wchar_t*) {
    waiter.Offer(platform::WideToUtf8(key ? key : L""));
  });
  tm.BindMainWnd(platform::CreateWindowHandle());
  tm.Start();
  const std::wstring url = platform::Utf8ToWide(Server().Url("/bench"));
  auto load = [&](bool timed) {
    waiter.Arm("DOCUMENTCOMPLETE");
    unsigned int id = tm.AddTab(url, 0);
    bool ok = id != 0 && waiter.Wait();
    if (timed) state.PauseTiming();
    tm.CloseTab(id);
    if (timed) state.ResumeTiming();
    return ok;
  };
  if (!load(false)) {
    state.SkipWithError("the library could not load the page");
  } else {
    for (auto _ : state) {
      if (!load(true)) state.SkipWithError("a load failed");
    }
  }
  tm.Quit();
  CTabManager::RegisterNotify(nullptr);
  CTabManager::SetWebPageManager(nullptr);
}

void BM_ChromiumAlone(benchmark::State& state) {
  auto loop = std::make_shared<webpage::CEngineLoop>();
  CWaiter waiter;
  webpage::CBrowser::Handlers handlers;
  handlers.post = [loop](std::function<void()> task) { loop->Post(std::move(task)); };
  handlers.onEvent = [&waiter](const std::shared_ptr<webpage::CBrowser>&, webpage::Json&& event) {
    if (event.value("method", "") == "Page.loadEventFired") waiter.Offer(event.value("sessionId", ""));
  };
  handlers.onClosed = [](const std::shared_ptr<webpage::CBrowser>&) {};
  std::string error;
  auto browser = webpage::CBrowser::Launch(WebPageOptions(), false, handlers, &error);
  if (!browser) {
    state.SkipWithError(error.c_str());
    return;
  }
  const auto& cdp = browser->Connection();
  std::string url = Server().Url("/bench");
  auto load = [&](bool timed) {
    webpage::Json reply;
    if (!cdp->Call("Target.createTarget", {{"url", "about:blank"}}, "", 30s, &reply)) return false;
    std::string target = reply["result"]["targetId"];
    if (!cdp->Call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}}, "", 30s, &reply)) return false;
    std::string session = reply["result"]["sessionId"];
    waiter.Arm(session);
    cdp->Call("Page.enable", webpage::Json::object(), session, 30s, &reply);
    cdp->Send("Page.navigate", {{"url", url}}, session, nullptr);
    bool ok = waiter.Wait();
    if (timed) state.PauseTiming();
    cdp->Call("Target.closeTarget", {{"targetId", target}}, "", 30s, &reply);
    if (timed) state.ResumeTiming();
    return ok;
  };
  if (!load(false)) {
    state.SkipWithError("Chromium could not load the page");
    return;
  }
  for (auto _ : state) {
    if (!load(true)) state.SkipWithError("a load failed");
  }
  browser->Shutdown();
  loop->Stop();
}

BENCHMARK(BM_ChromiumAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0)->Repetitions(3);
BENCHMARK(BM_ThroughComponent)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0)->Repetitions(3);
BENCHMARK(BM_ThroughLibrary)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0)->Repetitions(3);

// Keeps the median of each benchmark to print the ratio after the table.
class CRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.aggregate_name == "median" && !run.error_occurred) m_median[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Median(const std::string& name) const {
    auto it = m_median.find(name);
    return it == m_median.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> m_median;
};

}  // namespace

int main(int argc, char** argv) {
  if (::access(WebPageOptions().chromiumPath.c_str(), X_OK) != 0) {
    std::printf("webpage_bench: Chromium is not installed at %s; nothing measured\n", WebPageOptions().chromiumPath.c_str());
    return 0;
  }
  webpage::SetLogSink([](webpage::LogLevel, const std::string&) {});  // keep the table readable
  benchmark::Initialize(&argc, argv);
  CRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double alone = reporter.Median("BM_ChromiumAlone");
  double component = reporter.Median("BM_ThroughComponent");
  if (alone > 0 && component > 0) {
    std::printf("\npage load, median: Chromium alone %.2f ms, through the component %.2f ms\n", alone, component);
    std::printf("ratio component / Chromium alone = %.3f (target <= 1.2): %s\n", component / alone,
                component / alone <= 1.2 ? "met" : "NOT met");
  }
  double library = reporter.Median("BM_ThroughLibrary");
  if (alone > 0 && library > 0) {
    std::printf("page load from AddTab, median: through the library %.2f ms\n", library);
    std::printf("ratio library / Chromium alone = %.3f (target <= 1.2): %s\n", library / alone,
                library / alone <= 1.2 ? "met" : "NOT met");
  }
  benchmark::Shutdown();
  return 0;
}
