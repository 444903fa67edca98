// Memory of a page engine over many tabs opened and closed: AddTab of a served page, its
// "DOCUMENTCOMPLETE", CloseTab, N times (default 2,000), through the library as the
// shell drives it. Prints the memory of the engine's processes (the processes below this
// one: Chromium's, or WebKit's web and network processes), with the page of the cycle
// open, after the first 100 cycles and at the end (memory in use: the proportional set
// size, each shared page split among the processes that share it); target: the end within 10% of the first figure. Run on demand (it takes
// minutes), never in CI.
//   soak_bench [--engine=chromium|webkit] [--cycles=N] [--list]
// --list prints the processes of both figures. WebKit needs a display: without DISPLAY
// the program runs itself again under xvfb-run.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/bench_wait.h"
#include "bench/common/procmemory.h"
#include "components/webpage/webpagemanager.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/tabmanager.h"
#include "webpage/httpserver.h"
#ifdef SOAK_WITH_WEBKIT
#include <gtk/gtk.h>

#include "components/webkitpage/webkitpagemanager.h"
#endif

namespace {

const char kPage[] =
    "<!DOCTYPE html><html><head><title>Soak page</title></head><body><h1>Soak</h1>"
    "<p>A served page with a little text, a list and a script.</p><ul><li>one</li><li>two</li></ul>"
    "<script>document.body.dataset.n = String(Date.now());</script></body></html>";

constexpr int kFirstFigureAt = 100;
constexpr double kTarget = 1.10;
// Closed tabs' processes take a moment to end and free their memory.
constexpr std::chrono::seconds kSettle{3};

struct Options {
  std::string engine = "chromium";
  int cycles = 2000;
  bool list = false;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--engine=chromium" || arg == "--engine=webkit") {
      options->engine = arg.substr(9);
    } else if (arg.rfind("--cycles=", 0) == 0) {
      options->cycles = std::atoi(arg.c_str() + 9);
      if (options->cycles <= kFirstFigureAt) {
        std::fprintf(stderr, "--cycles must be more than %d\n", kFirstFigureAt);
        return false;
      }
    } else if (arg == "--list") {
      options->list = true;
    } else {
      std::fprintf(stderr, "usage: soak_bench [--engine=chromium|webkit] [--cycles=N] [--list]\n");
      return false;
    }
  }
  return true;
}

double Figure(const char* when, bool list) {
  std::this_thread::sleep_for(kSettle);
  const std::vector<bench::ProcessMemory> processes = bench::DescendantMemory(::getpid());
  const double mib = bench::TotalMib(processes);
  std::printf("%-28s %8.1f MiB in %zu processes\n", when, mib, processes.size());
  if (list) {
    for (const auto& p : processes) std::printf("  %7.1f MiB  %d  %.110s\n", p.kib / 1024.0, p.pid, p.command.c_str());
  }
  std::fflush(stdout);
  return mib;
}

#ifdef SOAK_WITH_WEBKIT
void StartGtkThread() {
  bench::CEventWaiter ready;
  std::thread([&ready] {
    g_main_context_acquire(g_main_context_default());
    gtk_init(nullptr, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    ready.Offer("");
    g_main_loop_run(loop);  // runs until the process ends
  }).detach();
  ready.Wait("the GTK thread's start");
}
#endif

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) return 1;
  webpage::SetLogSink([](webpage::LogLevel, const std::string&) {});
  qxdk::UTIL::com_ptr<IWebPageManager> manager;
  if (options.engine == "webkit") {
#ifdef SOAK_WITH_WEBKIT
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
      std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a")};
      for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
      args.push_back(nullptr);
      execvp("xvfb-run", args.data());
      std::printf("soak_bench: no DISPLAY and no xvfb-run; nothing measured\n");
      return 1;
    }
    StartGtkThread();
    CreateWebKitPageManager(WebKitPageOptions(), &manager);
#else
    std::printf("soak_bench: built without the WebKit engine\n");
    return 1;
#endif
  } else {
    if (::access(WebPageOptions().chromiumPath.c_str(), X_OK) != 0) {
      std::printf("soak_bench: Chromium is not installed at %s\n", WebPageOptions().chromiumPath.c_str());
      return 1;
    }
    CreateWebPageManager(WebPageOptions(), &manager);
  }
  if (!manager) bench::FailLoudly("no page manager");

  webtest::CHttpServer server;
  server.Html("/soak", kPage);
  const std::wstring url = platform::Utf8ToWide(server.Url("/soak"));
  bench::CEventWaiter complete;
  CTabManager& tm = CTabManager::Instance();
  CTabManager::SetWebPageManager(manager);
  CTabManager::RegisterNotify([&complete](unsigned int, const wchar_t* key, const wchar_t*) {
    complete.Offer(platform::WideToUtf8(key ? key : L""));
  });
  tm.BindMainWnd(platform::CreateWindowHandle());
  tm.Start();

  std::printf("%s: %d tabs opened and closed\n", options.engine.c_str(), options.cycles);
  const auto start = std::chrono::steady_clock::now();
  double first = 0, last = 0;
  for (int cycle = 1; cycle <= options.cycles; ++cycle) {
    complete.Arm("DOCUMENTCOMPLETE");
    const unsigned int id = tm.AddTab(url, 0);
    if (id == 0) bench::FailLoudly("AddTab failed at cycle " + std::to_string(cycle));
    complete.Wait("DOCUMENTCOMPLETE of cycle " + std::to_string(cycle));
    // Each figure is taken with one page open (its renderer or web process counts).
    if (cycle == kFirstFigureAt) first = Figure("after the first 100:", options.list);
    if (cycle == options.cycles) last = Figure(("after " + std::to_string(cycle) + ":").c_str(), options.list);
    tm.CloseTab(id);
    if (cycle % 500 == 0 && cycle != options.cycles) {
      std::printf("  %d cycles, %.0f s\n", cycle,
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      std::fflush(stdout);
    }
  }
  const double ratio = first > 0 ? last / first : 0;
  std::printf("%-28s %8.3fx (target <= %.2fx) %s\n", "end / after the first 100", ratio, kTarget,
              ratio > 0 && ratio <= kTarget ? "ok" : "ABOVE TARGET");
  tm.Quit();
  CTabManager::RegisterNotify(nullptr);
  CTabManager::SetWebPageManager(nullptr);
  manager = nullptr;
  std::fflush(stdout);
  _exit(ratio > 0 && ratio <= kTarget ? 0 : 1);  // a GTK thread may run to the end of the process
}
