// The WebKit page component against WebKit alone: time from the library's AddTab to the
// "DOCUMENTCOMPLETE" that reaches the user-interface callback, against a bare
// WebKitWebView (same web context settings) from its creation to the end of the same
// load. The two alternate in every round, so that a busy moment falls on both; the ratio
// is the median of the rounds' ratios. Target: 1.05 times WebKit alone. Rounds:
// "--paired=N" or WEBKITPAGE_BENCH_ROUNDS (21). Needs a display: without DISPLAY the program runs
// itself again under xvfb-run. "--blocking": the library's pages block with EasyList and
// EasyPrivacy (when installed), so that the ratio shows what content blocking costs a
// page, mostly the web process building the filter set when it starts.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/bench_wait.h"
#include "bench/common/librarypages.h"
#include "bench/common/ratio_reporter.h"
#include "components/contentfilter/contentfilter.h"
#include "components/pagecore/contentblocking.h"
#include "components/webkitpage/webkitpagemanager.h"
#include "components/webpage/weblog.h"
#include "platform/gtk/gtkthread.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/tabmanager.h"
#include "webpage/httpserver.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kPage[] =
    "<!DOCTYPE html><html><head><title>Bench page</title></head><body><h1>Bench</h1>"
    "<p>A small local page with a little text and a list.</p><ul><li>one</li><li>two</li><li>three</li></ul>"
    "</body></html>";

// A flag set from the GTK thread and waited for by the measuring thread; a wait that
// times out ends the program with a message.
class CDone {
 public:
  void Reset() { m_waiter.Arm(""); }
  void Set() { m_waiter.Offer(""); }
  void Wait(const std::string& what) { m_waiter.Wait(what); }

 private:
  bench::CEventWaiter m_waiter;
};

// The GTK thread of the program: the default main context, as a desktop host runs it.
void StartGtkThread() {
  CDone ready;
  std::thread([&ready] {
    g_main_context_acquire(g_main_context_default());
    gtk_init(nullptr, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    ready.Set();
    g_main_loop_run(loop);  // runs until the process ends
  }).detach();
  ready.Wait("the GTK thread's start");
}

// WebKit alone: a new view in an ephemeral context loads the page; the time ends at
// WebKit's "load finished".
double LoadAlone(const std::string& url) {
  CDone done;
  done.Reset();
  const Clock::time_point start = Clock::now();
  struct Run {
    CDone* done;
    WebKitWebView* view;
  };
  auto* run = new Run{&done, nullptr};
  platform::gtk::PostToGtkThread([run, url] {
    static WebKitWebContext* context = webkit_web_context_new_ephemeral();
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    run->view = WEBKIT_WEB_VIEW(g_object_ref_sink(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                                               "settings", settings, nullptr)));
    g_object_unref(settings);
    g_signal_connect(run->view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                       if (event == WEBKIT_LOAD_FINISHED) static_cast<Run*>(data)->done->Set();
                     }),
                     run);
    webkit_web_view_load_uri(run->view, url.c_str());
  });
  done.Wait("WebKit alone: the end of the load");
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  CDone gone;
  platform::gtk::PostToGtkThread([run, &gone] {
    g_signal_handlers_disconnect_by_data(run->view, run);
    gtk_widget_destroy(GTK_WIDGET(run->view));
    g_object_unref(run->view);
    delete run;
    gone.Set();
  });
  gone.Wait("the view's end");
  return took;
}

}  // namespace

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a")};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp("xvfb-run", args.data());
    std::printf("webkitpage_bench: no DISPLAY and no xvfb-run; nothing measured\n");
    return 0;
  }
  webpage::SetLogSink([](webpage::LogLevel, const std::string&) {});
  StartGtkThread();
  webtest::CHttpServer server;
  server.Html("/bench", kPage);
  const std::string url = server.Url("/bench");

  WebKitPageOptions options;
  bool blocking = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) != "--blocking") continue;
    blocking = true;
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    break;
  }
  if (blocking) {
    contentfilter::FilterSetBuilder builder;
    for (const std::string& list : contentfilter::InstalledEasyLists()) builder.AddListFile(list);
    options.contentBlocker = std::make_shared<pagecore::CContentBlocker>();
    options.contentBlocker->SetFilters(builder.Build());
    std::printf("content blocking: %zu network rules from %zu list(s)\n", options.contentBlocker->Filters()->NetworkRuleCount(),
                options.contentBlocker->Filters()->Stats().files.size());
  }
  qxdk::UTIL::com_ptr<IWebPageManager> manager;
  CreateWebKitPageManager(options, &manager);
  CDone complete;
  auto withPages = std::make_unique<CLibraryWithPages>(manager, [&complete](const std::wstring& key) {
    if (key == L"DOCUMENTCOMPLETE") complete.Set();
  });
  CTabManager& tm = withPages->Tabs();
  auto throughLibrary = [&]() -> double {
    complete.Reset();
    const Clock::time_point start = Clock::now();
    unsigned int id = tm.AddTab(platform::Utf8ToWide(url), 0);
    if (id == 0) bench::FailLoudly("AddTab failed");
    complete.Wait("the library's DOCUMENTCOMPLETE");
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    tm.CloseTab(id);
    return took;
  };

  // The loads are always taken in interleaved rounds; "--paired=N" says how many.
  std::string error;
  int rounds = bench::TakePairedOption(&argc, argv, &error);
  if (rounds < 0) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (rounds == 0) {
    const char* text = std::getenv("WEBKITPAGE_BENCH_ROUNDS");
    rounds = text ? std::max(3, std::atoi(text)) : 21;
  }
  LoadAlone(url);  // both warm up once: the web and network processes start
  throughLibrary();
  std::vector<double> alone, library;
  for (int round = 0; round < rounds; ++round) {
    for (size_t i : bench::RotatedOrder(2, round)) (i ? alone : library).push_back(i ? LoadAlone(url) : throughLibrary());
  }
  RatioReporter reporter;
  reporter.AddRounds("Load/WebKitAlone", alone);
  reporter.AddRounds("Load/ThroughLibraryFromAddTab", library);
  std::printf("Page load (%d interleaved rounds): WebKit alone %.1f ms, through the library %.1f ms (medians)\n",
              rounds, bench::Median(alone) * 1000, bench::Median(library) * 1000);
  reporter.PrintRatio(blocking ? "library with blocking from AddTab / WebKit alone" : "library from AddTab / WebKit alone",
                      "Load/ThroughLibraryFromAddTab", "Load/WebKitAlone", 1.05);
  withPages.reset();
  manager = nullptr;
  std::fflush(stdout);
  _exit(reporter.ExitCode());  // the GTK thread runs to the end of the process
}
