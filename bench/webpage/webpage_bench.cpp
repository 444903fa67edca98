// The page component against Chromium alone.
// (a) How long NewPage keeps its caller: with Chromium running (target < 1 ms) and with
//     Chromium still to be started (target < 5 ms), beside what the caller used to wait for
//     at least (one target creation over the pipe; Chromium's start).
// (b) Time to "DOCUMENTCOMPLETE" for a local page: from the library's AddTab, from the
//     component's NewPage, and by Chromium alone over its own pipe (create a plain tab,
//     attach, enable the page domain, navigate, load event), with the component's setup
//     calls, and with a window per page (the way pages were made before: for comparison).
//     The variants alternate in every round (in a rotating order), so that a busy moment
//     falls on all of them, and each ratio is the median of the rounds' ratios. Target:
//     1.05 times Chromium alone. Rounds: "--paired=N" or WEBPAGE_BENCH_ROUNDS (21).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "components/webpage/browser.h"
#include "bench/common/bench_wait.h"
#include "bench/common/librarypages.h"
#include "bench/common/ratio_reporter.h"
#include "components/webpage/engineloop.h"
#include "components/webpage/pagescript.h"
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

using CWaiter = bench::CEventWaiter;

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

using Clock = std::chrono::steady_clock;

// (a) NewPage's return with Chromium running. Each page is set up completely (its FIND
// is answered: any "FINDRESULT") and closed before the next one.
void BM_NewPageReturnChromiumRunning(benchmark::State& state) {
  qxdk::UTIL::com_ptr<IWebPageManager> manager;
  CreateWebPageManager(WebPageOptions(), &manager);
  CWaiter waiter;
  auto sink = std::make_shared<CCompleteSink>(waiter);
  auto once = [&](bool timed) {
    waiter.Arm("");
    auto start = Clock::now();
    qxdk::UTIL::com_ptr<IWebPage> page;
    HRESULT hr = manager->NewPage(nullptr, &page);
    auto took = Clock::now() - start;
    if (FAILED(hr)) bench::FailLoudly("NewPage failed");
    if (timed) state.SetIterationTime(std::chrono::duration<double>(took).count());
    qxdk::UTIL::com_ptr<IWebPageNotifier> notifier;
    page.QueryInterface(notifier);
    notifier->Subscribe(L"FINDRESULT", sink, nullptr);
    page->SendOrder(L"CMD=FIND\nTEXT=nothing\n");
    waiter.Wait("the new page's FINDRESULT");
    page->SendOrder(L"CMD=ClOSETAB\n");
  };
  once(false);  // starts Chromium
  for (auto _ : state) once(true);
}

// (a) NewPage's return when it is the first: Chromium is still to be started.
void BM_NewPageReturnChromiumStarting(benchmark::State& state) {
  for (auto _ : state) {
    qxdk::UTIL::com_ptr<IWebPageManager> manager;
    CreateWebPageManager(WebPageOptions(), &manager);
    CWaiter waiter;
    auto sink = std::make_shared<CCompleteSink>(waiter);
    waiter.Arm("");
    auto start = Clock::now();
    qxdk::UTIL::com_ptr<IWebPage> page;
    HRESULT hr = manager->NewPage(nullptr, &page);
    auto took = Clock::now() - start;
    state.SetIterationTime(std::chrono::duration<double>(took).count());
    if (FAILED(hr)) bench::FailLoudly("NewPage failed");
    qxdk::UTIL::com_ptr<IWebPageNotifier> notifier;
    page.QueryInterface(notifier);
    notifier->Subscribe(L"FINDRESULT", sink, nullptr);
    page->SendOrder(L"CMD=FIND\nTEXT=nothing\n");
    waiter.Wait("the first page's FINDRESULT (Chromium's start)");
    page = nullptr;
    manager = nullptr;
  }
}

// How Chromium alone makes a page.
enum class Bare { Tab, TabWithSetup, Window };

// Chromium alone, driven through the same connection code; events wait for a session's
// load event.
struct CBareChromium {
  std::shared_ptr<webpage::CEngineLoop> loop = std::make_shared<webpage::CEngineLoop>();
  CWaiter waiter;
  std::shared_ptr<webpage::CBrowser> browser;
  Clock::duration startTook{};

  bool Start() {
    webpage::CBrowser::Handlers handlers;
    auto shared = loop;
    handlers.post = [shared](std::function<void()> task) { shared->Post(std::move(task)); };
    handlers.onEvent = [this](const std::shared_ptr<webpage::CBrowser>&, webpage::Json&& event) {
      if (event.value("method", "") == "Page.loadEventFired") waiter.Offer(event.value("sessionId", ""));
    };
    handlers.onClosed = [](const std::shared_ptr<webpage::CBrowser>&) {};
    std::string error;
    auto start = Clock::now();
    browser = webpage::CBrowser::Launch(WebPageOptions(), false, handlers, &error);
    startTook = Clock::now() - start;
    return browser != nullptr;
  }
  ~CBareChromium() {
    if (browser) browser->Shutdown();
    loop->Stop();
  }
  // Creates a target (a plain tab, or a window of its own) and attaches to it; "" on failure.
  std::string NewSession(Bare how, std::string* target) {
    webpage::Json reply;
    const auto& cdp = browser->Connection();
    // The component's headless pages are background tabs of one window; a window per page
    // is kept for comparison, the plain tab is Chromium alone.
    webpage::Json params = how == Bare::Window ? webpage::CBrowser::NewTargetParams(true)
                                               : webpage::Json{{"url", "about:blank"}};
    if (how == Bare::TabWithSetup) params = webpage::CBrowser::NewTargetParams(false);
    if (!cdp->Call("Target.createTarget", params, "", 30s, &reply)) return "";
    *target = reply["result"]["targetId"];
    if (!cdp->Call("Target.attachToTarget", {{"targetId", *target}, {"flatten", true}}, "", 30s, &reply)) return "";
    return reply["result"]["sessionId"];
  }
  // Loads `url`; with the setup: the component's setup calls, sent without waiting for
  // each answer, the navigation after the last answer (as the component does).
  bool Load(const std::string& url, Bare how) {
    std::string target;
    std::string session = NewSession(how, &target);
    if (session.empty()) return false;
    const auto& cdp = browser->Connection();
    waiter.Arm(session);
    webpage::Json reply;
    if (how == Bare::TabWithSetup) {
      static const std::string script = webpage::PageScript(webpage::NewPageToken());
      static const std::string pageWorld = webpage::PageWorldScript({});
      cdp->Send("Emulation.setFocusEmulationEnabled", {{"enabled", true}}, session, nullptr);
      cdp->Send("Runtime.addBinding",
                {{"name", std::string(webpage::kBindingName)}, {"executionContextName", std::string(webpage::kEngineWorld)}}, session,
                nullptr);
      cdp->Send("Page.addScriptToEvaluateOnNewDocument", {{"source", script}, {"worldName", std::string(webpage::kEngineWorld)}},
                session, nullptr);
      cdp->Send("Page.addScriptToEvaluateOnNewDocument", {{"source", pageWorld}}, session, nullptr);
      cdp->Send("Page.enable", webpage::Json::object(), session, nullptr);
      cdp->Send("Network.enable", webpage::Json::object(), session, nullptr);
      cdp->Call("Runtime.enable", webpage::Json::object(), session, 30s, &reply);
    } else {
      cdp->Call("Page.enable", webpage::Json::object(), session, 30s, &reply);
    }
    cdp->Send("Page.navigate", {{"url", url}}, session, nullptr);
    waiter.Wait("Chromium alone: the load event");
    cdp->Call("Target.closeTarget", {{"targetId", target}}, "", 30s, &reply);
    return true;
  }
};

// (a) Baselines: what NewPage used to wait for at least.
void BM_CreateTargetRoundTrip(benchmark::State& state) {
  CBareChromium chromium;
  if (!chromium.Start()) bench::FailLoudly("Chromium did not start");
  const auto& cdp = chromium.browser->Connection();
  for (auto _ : state) {
    webpage::Json reply;
    auto start = Clock::now();
    bool ok = cdp->Call("Target.createTarget", webpage::CBrowser::NewTargetParams(false), "", 30s, &reply);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    if (!ok) bench::FailLoudly("Chromium made no target");
    std::string target = reply["result"]["targetId"];
    cdp->Call("Target.closeTarget", {{"targetId", target}}, "", 30s, &reply);
  }
}

void BM_ChromiumStart(benchmark::State& state) {
  for (auto _ : state) {
    CBareChromium chromium;
    if (!chromium.Start()) bench::FailLoudly("Chromium did not start");
    state.SetIterationTime(std::chrono::duration<double>(chromium.startTook).count());
  }
}

// Also prints a benchmark's median against an absolute limit in milliseconds.
class CBenchReporter : public RatioReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      std::string name = run.benchmark_name();
      const size_t repeats = name.find("/repeats:");
      if (repeats != std::string::npos) name.erase(repeats, name.find('/', repeats + 1) - repeats);
      m_seconds[name].push_back(run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit));
    }
    RatioReporter::ReportRuns(runs);
  }
  void AddSeconds(const std::string& name, const std::vector<double>& seconds) {
    m_seconds[name] = seconds;
    AddRounds(name, seconds);
  }
  // limitMs <= 0: no limit, the median alone.
  void PrintBelow(const std::string& label, const std::string& name, double limitMs) const {
    auto it = m_seconds.find(name);
    if (it == m_seconds.end()) {
      std::printf("%-48s not measured\n", label.c_str());
      return;
    }
    const double ms = bench::Median(it->second) * 1000.0;
    if (limitMs <= 0) {
      std::printf("%-48s %8.3f ms\n", label.c_str(), ms);
      return;
    }
    std::printf("%-48s %8.3f ms (target < %.0f ms) %s\n", label.c_str(), ms, limitMs, ms < limitMs ? "ok" : "ABOVE TARGET");
  }

 private:
  std::map<std::string, std::vector<double>> m_seconds;
};

// (b) The page loads, round by round; each variant's samples are handed to the reporter
// as rounds.
struct LoadVariant {
  const char* name;
  std::function<void()> load;  // one load; ends the program when it fails
  std::vector<double> seconds;
};

// The library on its own manager (its own Chromium): AddTab to the "DOCUMENTCOMPLETE" that
// reaches the user-interface callback, then CloseTab.
class CLibraryLoad {
 public:
  CLibraryLoad()
      : m_manager(NewManager()),
        m_library(m_manager, [this](const std::wstring& key) { m_waiter.Offer(platform::WideToUtf8(key)); }) {}
  void Load(const std::wstring& url) {
    m_waiter.Arm("DOCUMENTCOMPLETE");
    unsigned int id = m_library.Tabs().AddTab(url, 0);
    if (id == 0) bench::FailLoudly("AddTab failed");
    m_waiter.Wait("the library's DOCUMENTCOMPLETE");
    m_library.Tabs().CloseTab(id);
  }

 private:
  static qxdk::UTIL::com_ptr<IWebPageManager> NewManager() {
    qxdk::UTIL::com_ptr<IWebPageManager> manager;
    CreateWebPageManager(WebPageOptions(), &manager);
    return manager;
  }
  qxdk::UTIL::com_ptr<IWebPageManager> m_manager;
  CWaiter m_waiter;  // before m_library: the library's callback offers to it until it is gone
  CLibraryWithPages m_library;
};

void MeasureLoads(int rounds, CBenchReporter& reporter) {
  qxdk::UTIL::com_ptr<IWebPageManager> manager;
  CreateWebPageManager(WebPageOptions(), &manager);
  CWaiter waiter;
  auto sink = std::make_shared<CCompleteSink>(waiter);
  const std::string url = Server().Url("/bench");
  const std::wstring order = L"CMD=NAVIGATE\nURL=" + platform::Utf8ToWide(url) + L"\n";
  auto component = [&] {
    waiter.Arm("URL=" + url + "\n");
    qxdk::UTIL::com_ptr<IWebPage> page;
    if (FAILED(manager->NewPage(nullptr, &page))) bench::FailLoudly("NewPage failed");
    qxdk::UTIL::com_ptr<IWebPageNotifier> notifier;
    page.QueryInterface(notifier);
    notifier->Subscribe(L"DOCUMENTCOMPLETE", sink, nullptr);
    page->SendOrder(order.c_str());
    waiter.Wait("the component's DOCUMENTCOMPLETE");
    page->SendOrder(L"CMD=ClOSETAB\n");
  };
  CBareChromium bare;
  if (!bare.Start()) bench::FailLoudly("Chromium did not start");
  CLibraryLoad library;
  const std::wstring wideUrl = platform::Utf8ToWide(url);
  std::vector<LoadVariant> variants{
      {"Load/ThroughLibraryFromAddTab", [&] { library.Load(wideUrl); }, {}},
      {"Load/ThroughComponent", component, {}},
      {"Load/ChromiumAlone", [&] { bare.Load(url, Bare::Tab); }, {}},
      {"Load/ChromiumAloneWithSetup", [&] { bare.Load(url, Bare::TabWithSetup); }, {}},
      {"Load/ChromiumAloneWindowPerPage", [&] { bare.Load(url, Bare::Window); }, {}},
  };
  // Each warms up once (the first page starts a renderer and fills caches).
  for (LoadVariant& variant : variants) variant.load();
  for (int round = 0; round < rounds; ++round) {
    for (size_t i : bench::RotatedOrder(variants.size(), round)) {
      const auto start = Clock::now();
      variants[i].load();
      variants[i].seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
  }
  for (const LoadVariant& variant : variants) reporter.AddSeconds(variant.name, variant.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (::access(WebPageOptions().chromiumPath.c_str(), X_OK) != 0) {
    std::printf("webpage_bench: Chromium is not installed at %s; nothing measured\n", WebPageOptions().chromiumPath.c_str());
    return 0;
  }
  webpage::SetLogSink([](webpage::LogLevel, const std::string&) {});  // keep the table readable
  // The loads are always taken in interleaved rounds; "--paired=N" says how many (the
  // NewPage figures, which start Chromium again and again, are taken once).
  std::string error;
  int rounds = bench::TakePairedOption(&argc, argv, &error);
  if (rounds < 0) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (rounds == 0) {
    const char* text = std::getenv("WEBPAGE_BENCH_ROUNDS");
    rounds = text ? std::max(3, std::atoi(text)) : 21;
  }
  benchmark::RegisterBenchmark("NewPageReturn/ChromiumRunning", BM_NewPageReturnChromiumRunning)
      ->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(20)->Repetitions(3);
  benchmark::RegisterBenchmark("Baseline/CreateTargetRoundTrip", BM_CreateTargetRoundTrip)
      ->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(20)->Repetitions(3);
  benchmark::RegisterBenchmark("NewPageReturn/ChromiumStarting", BM_NewPageReturnChromiumStarting)
      ->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(3)->Repetitions(3);
  // Ratios are taken in the runs' own units: a baseline has its measurement's unit.
  benchmark::RegisterBenchmark("Baseline/ChromiumStart", BM_ChromiumStart)
      ->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(3)->Repetitions(3);

  CBenchReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;
  MeasureLoads(rounds, reporter);
  const std::string running = "NewPageReturn/ChromiumRunning/iterations:20/manual_time";
  const std::string starting = "NewPageReturn/ChromiumStarting/iterations:3/manual_time";
  std::printf("NewPage return, median (the caller waited at least for the baseline before):\n");
  reporter.PrintBelow("NewPage, Chromium running", running, 1.0);
  reporter.PrintBelow("  baseline: one createTarget round trip", "Baseline/CreateTargetRoundTrip/iterations:20/manual_time", 0);
  reporter.PrintRatio("  beside one createTarget round trip", running, "Baseline/CreateTargetRoundTrip/iterations:20/manual_time",
                      1.0);
  reporter.PrintBelow("NewPage, Chromium to be started", starting, 5.0);
  reporter.PrintBelow("  baseline: Chromium's start", "Baseline/ChromiumStart/iterations:3/manual_time", 0);
  reporter.PrintRatio("  beside Chromium's start", starting, "Baseline/ChromiumStart/iterations:3/manual_time", 1.0);
  std::printf("Page load to DOCUMENTCOMPLETE (medians of %d interleaved rounds):\n", rounds);
  const std::string library = "Load/ThroughLibraryFromAddTab", component = "Load/ThroughComponent",
                    alone = "Load/ChromiumAlone", withSetup = "Load/ChromiumAloneWithSetup",
                    window = "Load/ChromiumAloneWindowPerPage";
  reporter.PrintBelow("  Chromium alone (a plain tab)", alone, 0);
  reporter.PrintBelow("  Chromium with the component's setup", withSetup, 0);
  reporter.PrintBelow("  Chromium with a window per page", window, 0);
  reporter.PrintBelow("  through the component (NewPage)", component, 0);
  reporter.PrintBelow("  through the library (AddTab)", library, 0);
  reporter.PrintRatio("library from AddTab / Chromium alone", library, alone, 1.05);
  reporter.PrintRatio("component / Chromium alone", component, alone, 1.05);
  reporter.PrintRatio("component / Chromium with the same setup", component, withSetup, 1.05);
  reporter.PrintComparison("Chromium with the setup / Chromium alone", withSetup, alone);
  reporter.PrintComparison("a window per page / Chromium alone", window, alone);
  benchmark::Shutdown();
  std::fflush(stdout);
  return reporter.ExitCode();
}
