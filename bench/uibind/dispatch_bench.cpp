// Cost of calling a bound method from Lua, against hand-written C functions over the
// same object. Prints each measured ratio beside its target.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <lua.hpp>

#include "uibind/uibind.h"

namespace {

constexpr int kCallsPerIteration = 1000;

struct Adder {
  double total = 0;
  unsigned Add(unsigned v) {
    total += v;
    return v;
  }
  unsigned AddFlag(bool v) {
    total += v ? 1 : 0;
    return 1;
  }
};

// The floor for this call shape: a C closure over the object.
int HandAdd(lua_State* L) {
  auto* adder = static_cast<Adder*>(lua_touserdata(L, lua_upvalueindex(1)));
  const auto v = static_cast<unsigned>(luaL_checknumber(L, 1));
  lua_pushnumber(L, adder->Add(v));
  return 1;
}

// A hand-written "__index" that returns a fresh closure for "Add", like the layer does.
int HandIndex(lua_State* L) {
  auto* adder = *static_cast<Adder**>(lua_touserdata(L, 1));
  const char* key = luaL_checkstring(L, 2);
  if (std::strcmp(key, "Add") != 0) return luaL_error(L, "unknown symbol %s", key);
  lua_pushlightuserdata(L, adder);
  lua_pushcclosure(L, &HandAdd, 1);
  return 1;
}

class World {
 public:
  World() : L(luaL_newstate()), host(L) {
    luaL_openlibs(L);
    uibind::Class<Adder> cls("Adder");
    cls.Method("Add", &Adder::Add)
        .Method("Add2", &Adder::Add)
        .Method("Add2", &Adder::AddFlag);
    host.Insert(std::move(cls));

    // The bound object: a reference userdata made by a bound free function.
    static Adder* shared = &adder;
    host.Insert(uibind::Function("GetAdder", +[]() -> Adder& { return *shared; }));
    Exec("obj = GetAdder()");

    lua_pushlightuserdata(L, &handAdder);
    lua_pushcclosure(L, &HandAdd, 1);
    lua_setglobal(L, "hand");
    *static_cast<Adder**>(lua_newuserdata(L, sizeof(Adder*))) = &handAdder;
    lua_newtable(L);
    lua_pushcfunction(L, &HandIndex);
    lua_setfield(L, -2, "__index");
    lua_setmetatable(L, -2);
    lua_setglobal(L, "handobj");
  }
  ~World() { lua_close(L); }

  // Compiles a loop body into a function of n kept in the registry.
  int Compile(const std::string& body) {
    const std::string code = "return function(n) " + body + " end";
    if (luaL_dostring(L, code.c_str()) != 0) std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    return luaL_ref(L, LUA_REGISTRYINDEX);
  }
  void Call(int ref) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    lua_pushinteger(L, kCallsPerIteration);
    if (lua_pcall(L, 1, 0, 0) != 0) {
      std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
      lua_pop(L, 1);
    }
  }
  void Exec(const char* code) {
    if (luaL_dostring(L, code) != 0) std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
  }

  lua_State* L;
  uibind::CHost host;
  Adder adder;
  Adder handAdder;
};

void RunLoop(benchmark::State& state, const char* body) {
  World world;
  const int ref = world.Compile(body);
  for (auto _ : state) world.Call(ref);
  state.SetItemsProcessed(state.iterations() * kCallsPerIteration);
}

void BM_HandFloor(benchmark::State& s) { RunLoop(s, "local f = hand for i = 1, n do f(i) end"); }
void BM_BoundCached(benchmark::State& s) { RunLoop(s, "local f = obj.Add for i = 1, n do f(i) end"); }
void BM_HandFetchAndCall(benchmark::State& s) { RunLoop(s, "for i = 1, n do handobj.Add(i) end"); }
void BM_BoundFetchAndCall(benchmark::State& s) { RunLoop(s, "for i = 1, n do obj.Add(i) end"); }
void BM_BoundCachedTwoOverloads(benchmark::State& s) { RunLoop(s, "local f = obj.Add2 for i = 1, n do f(i) end"); }

BENCHMARK(BM_HandFloor);
BENCHMARK(BM_BoundCached);
BENCHMARK(BM_HandFetchAndCall);
BENCHMARK(BM_BoundFetchAndCall);
BENCHMARK(BM_BoundCachedTwoOverloads);

// Keeps the CPU time per iteration of every run (the machine is shared, so wall time is noisy), to print the ratios afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) times[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

void PrintRatio(const RatioReporter& r, const char* what, const char* measured, const char* baseline, double target) {
  auto m = r.times.find(measured);
  auto b = r.times.find(baseline);
  if (m == r.times.end() || b == r.times.end() || b->second <= 0) return;
  const double ratio = m->second / b->second;
  std::printf("%-52s %6.2fx (target <= %.1fx) %s\n", what, ratio, target, ratio <= target ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
#ifdef LUAJIT_VERSION
  std::printf("Lua: %s\n", LUAJIT_VERSION);
#else
  std::printf("Lua: %s (C++ build)\n", LUA_RELEASE);
#endif
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios (same run):\n");
  PrintRatio(reporter, "fetch-and-call / hand-written __index + closure", "BM_BoundFetchAndCall", "BM_HandFetchAndCall", 2.0);
  PrintRatio(reporter, "cached call / hand-written closure (floor)", "BM_BoundCached", "BM_HandFloor", 2.0);
  PrintRatio(reporter, "two overloads / one overload (cached)", "BM_BoundCachedTwoOverloads", "BM_BoundCached", 1.3);
  benchmark::Shutdown();
  return 0;
}
