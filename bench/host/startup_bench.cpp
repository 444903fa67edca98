// Start-up of the shell to the first "DOCUMENTCOMPLETE" of a local page: the shell,
// its store, Chromium and the first page, measured from the program's start.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void StartupToFirstPage(benchmark::State& state) {
  if (access("/usr/bin/chromium", X_OK) != 0) {
    state.SkipWithError("Chromium is not installed");
    return;
  }
  const std::string profile = "/tmp/uicontrol_startup_bench_" + std::to_string(getpid());
  for (auto _ : state) {
    std::string command = "rm -rf '" + profile + "'";
    if (std::system(command.c_str()) != 0) state.SkipWithError("cannot clear the profile");
    // A shell that never sees its first page is ended after a minute: the figure fails
    // loudly instead of hanging the run.
    command = "timeout 60 " + std::string(SHELL_PROGRAM) + " --profile '" + profile + "' --serve '" PAGES_DIR "' --ui '" FIRST_PAGE_UI
              "' </dev/null 2>/dev/null";
    const auto start = std::chrono::steady_clock::now();
    FILE* pipe = popen(command.c_str(), "r");
    char line[256];
    bool loaded = false;
    double seconds = 0;
    while (pipe && fgets(line, sizeof line, pipe)) {
      if (std::string(line).find("FIRST DOCUMENTCOMPLETE") != std::string::npos && !loaded) {
        loaded = true;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      }
    }
    if (pipe) pclose(pipe);
    if (!loaded) {
      std::fprintf(stderr, "FAILED: the shell's first page did not load within 60 s\n");
      std::_Exit(2);
    }
    state.SetIterationTime(seconds);
  }
  std::string command = "rm -rf '" + profile + "'";
  if (std::system(command.c_str()) != 0) return;
}

BENCHMARK(StartupToFirstPage)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
