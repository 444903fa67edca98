// The WebKit page component against WebKit alone: time from the library's AddTab to the
// "DOCUMENTCOMPLETE" that reaches the user-interface callback, against a bare
// WebKitWebView (same web context settings) from its creation to the end of the same
// load. The two alternate in every round, so that a busy moment falls on both. Target:
// 1.05 times WebKit alone (median). Needs a display: without DISPLAY the program runs
// itself again under xvfb-run.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/librarypages.h"
#include "bench/common/ratio_reporter.h"
#include "bench/common/replay.h"
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

// A flag set from the GTK thread and waited for by the measuring thread.
class CDone {
 public:
  void Reset() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_done = false;
  }
  void Set() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_done = true;
    m_changed.notify_all();
  }
  bool Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(60), [this] { return m_done; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_done = false;
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
  ready.Wait();
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
  const bool ok = done.Wait();
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  CDone gone;
  platform::gtk::PostToGtkThread([run, &gone] {
    g_signal_handlers_disconnect_by_data(run->view, run);
    gtk_widget_destroy(GTK_WIDGET(run->view));
    g_object_unref(run->view);
    delete run;
    gone.Set();
  });
  gone.Wait();
  return ok ? took : -1;
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

  qxdk::UTIL::com_ptr<IWebPageManager> manager;
  CreateWebKitPageManager(WebKitPageOptions(), &manager);
  CDone complete;
  auto withPages = std::make_unique<CLibraryWithPages>(manager, [&complete](const std::wstring& key) {
    if (key == L"DOCUMENTCOMPLETE") complete.Set();
  });
  CTabManager& tm = withPages->Tabs();
  auto throughLibrary = [&]() -> double {
    complete.Reset();
    const Clock::time_point start = Clock::now();
    unsigned int id = tm.AddTab(platform::Utf8ToWide(url), 0);
    const bool ok = id != 0 && complete.Wait();
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    tm.CloseTab(id);
    return ok ? took : -1;
  };

  const char* roundsText = std::getenv("WEBKITPAGE_BENCH_ROUNDS");
  const int rounds = roundsText ? std::max(3, std::atoi(roundsText)) : 21;
  LoadAlone(url);  // both warm up once: the web and network processes start
  throughLibrary();
  std::vector<double> alone, library;
  for (int round = 0; round < rounds; ++round) {
    for (int step = 0; step < 2; ++step) {
      const double took = (round + step) % 2 ? LoadAlone(url) : throughLibrary();
      if (took < 0) {
        std::printf("webkitpage_bench: a load failed\n");
        return 1;
      }
      ((round + step) % 2 ? alone : library).push_back(took);
    }
  }
  RegisterReplay("Load/WebKitAlone", alone);
  RegisterReplay("Load/ThroughLibraryFromAddTab", library);
  RatioReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;
  std::printf("Page load (median of %d interleaved rounds):\n", rounds);
  reporter.PrintRatio("library from AddTab / WebKit alone", "Load/ThroughLibraryFromAddTab/iterations:1/manual_time",
                      "Load/WebKitAlone/iterations:1/manual_time", 1.05);
  withPages.reset();
  manager = nullptr;
  benchmark::Shutdown();
  std::fflush(stdout);
  _exit(0);  // the GTK thread runs to the end of the process
}
