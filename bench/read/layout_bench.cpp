// The terminal's text layout (ui/reader.lua) against one pass over the same text in Lua
// (every line's width in columns), on a page's text and on the same page with every line
// twice as long: the layout must be linear in the text (at most 2.2 times the time; a
// layout that measures a line again for every word, or builds a long word a character
// at a time, takes four times as long). Times are the thread's CPU time, which a busy
// machine does not stretch as it stretches the wall clock.
// The text is LAYOUT_BENCH_TEXT (the lines of a page's PAGETEXT, "<kind>:<text>", one a
// line), else a made-up page of about 400 KB: paragraphs, lists, headings, table rows,
// CJK text, and a long unbroken run (an inline image's data, a long address): about 1 MB.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <fstream>
#include <lua.hpp>
#include <string>
#include <vector>

#include "common/bench_wait.h"
#include "common/ratio_reporter.h"

namespace {

std::vector<std::string> MadeUpPage() {
  static const char* const kWords[] = {"the", "browser", "keeps", "a", "record", "of", "every", "tab,",
                                       "\xe4\xb8\xad\xe6\x96\x87", "https://example.org/docs/reference/page.html",
                                       "configuration", "and"};
  std::vector<std::string> lines;
  unsigned seed = 7;
  auto word = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return std::string(kWords[(seed >> 16) % (sizeof kWords / sizeof kWords[0])]);
  };
  for (int block = 0; block < 400; ++block) {
    lines.push_back("2:Section " + std::to_string(block));
    for (int p = 0; p < 3; ++p) {
      std::string text = "P:";
      for (int w = 0; w < 80; ++w) text += word() + " ";
      lines.push_back(text);
    }
    for (int item = 0; item < 4; ++item) lines.push_back("L1:" + word() + " " + word() + " " + word());
    lines.push_back("R:" + word() + " | " + word() + " | " + word());
  }
  lines.push_back("P:" + std::string(64 * 1024, 'Q'));  // an unbroken run of 64 KB
  return lines;
}

std::vector<std::string> PageText() {
  const char* path = std::getenv("LAYOUT_BENCH_TEXT");
  if (!path) return MadeUpPage();
  std::ifstream file(path);
  if (!file) bench::FailLoudly(std::string("cannot read ") + path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// A Lua state with the reader and the page's lines in global `lines`, the text of each
// `scale` times over.
lua_State* NewState(int scale) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  const std::string setup = "package.path = '" UI_DIR "/?.lua;' .. package.path\nreader = require('reader')\n"
                            "function layout() return #reader.layout(lines, 80) end\n"
                            "function one_pass() local n = 0 for i = 1, #lines do n = n + reader.width(lines[i]) end "
                            "return n end\n";
  if (luaL_dostring(L, setup.c_str()) != 0) bench::FailLoudly(std::string("Lua: ") + lua_tostring(L, -1));
  static const std::vector<std::string> page = PageText();
  lua_newtable(L);
  int n = 0;
  for (const std::string& line : page) {
    const size_t colon = line.find(':');
    const std::string kind = colon == std::string::npos ? "" : line.substr(0, colon + 1);
    const std::string text = line.substr(kind.size());
    std::string scaled = kind + text;
    for (int c = 1; c < scale; ++c) scaled += " " + text;
    lua_pushlstring(L, scaled.data(), scaled.size());
    lua_rawseti(L, -2, ++n);
  }
  lua_setglobal(L, "lines");
  return L;
}

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

void Call(benchmark::State& state, const char* function) {
  lua_State* L = NewState(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const double start = ThreadSeconds();
    lua_getglobal(L, function);
    if (lua_pcall(L, 0, 1, 0) != 0) bench::FailLoudly(std::string("Lua: ") + lua_tostring(L, -1));
    lua_pop(L, 1);
    state.SetIterationTime(ThreadSeconds() - start);
  }
  lua_close(L);
}

void BM_Layout(benchmark::State& state) { Call(state, "layout"); }
void BM_OnePass(benchmark::State& state) { Call(state, "one_pass"); }

BENCHMARK(BM_Layout)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);
BENCHMARK(BM_OnePass)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseManualTime()->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  size_t bytes = 0;
  for (const std::string& line : PageText()) bytes += line.size() + 1;
  std::printf("page text: %zu KB\n", bytes / 1024);
  RatioReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;
  reporter.PrintRatio("layout, lines twice as long / as they are", "BM_Layout/2/manual_time", "BM_Layout/1/manual_time", 2.2);
  reporter.PrintComparison("layout / one pass over the text", "BM_Layout/1/manual_time", "BM_OnePass/1/manual_time");
  benchmark::Shutdown();
  return reporter.ExitCode();
}
