// Cost of calling a bound method from Lua, against the same work written directly with
// the Lua C API. Prints each measured ratio beside its target, every baseline taken in
// the same run.
//
// Baselines:
// - raw C API: the usual method table of a hand-written library. The metatable's
//   "__index" is a table of plain C functions that take the object as argument 1, so a
//   fetch is a table lookup and allocates nothing: `o.Add(o, i)`.
// - hand-written closure: a C closure over the object, the shape the layer hands out for
//   `o.Add` (the object travels with the function): `f(i)`, and an "__index" function
//   that builds such a closure on every fetch: `o.Add(i)`.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <lua.hpp>

#include "../common/ratio_reporter.h"
#include "uibind/uibind.h"

namespace {

constexpr int kCallsPerIteration = 1000;
constexpr int kRepetitions = 5;

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

// Reads an unsigned argument the way a careful hand-written binding does.
unsigned CheckUnsigned(lua_State* L, int idx) { return static_cast<unsigned>(luaL_checknumber(L, idx)); }

// Raw C API: the object is argument 1, a full userdata holding the pointer.
int RawAdd(lua_State* L) {
  auto* adder = *static_cast<Adder**>(lua_touserdata(L, 1));
  if (adder == nullptr) return luaL_error(L, "not an Adder");
  lua_pushnumber(L, adder->Add(CheckUnsigned(L, 2)));
  return 1;
}

// A plain C function for a global: what a hand-written library registers.
double g_globalTotal = 0;
int RawGlobalAdd(lua_State* L) {
  const unsigned v = CheckUnsigned(L, 1);
  g_globalTotal += v;
  lua_pushnumber(L, v);
  return 1;
}

// Hand-written closure over the object.
int HandAdd(lua_State* L) {
  auto* adder = static_cast<Adder*>(lua_touserdata(L, lua_upvalueindex(1)));
  lua_pushnumber(L, adder->Add(CheckUnsigned(L, 1)));
  return 1;
}

// A hand-written "__index" that returns a fresh closure for "Add" on every fetch.
int HandIndex(lua_State* L) {
  auto* adder = *static_cast<Adder**>(lua_touserdata(L, 1));
  const char* key = luaL_checkstring(L, 2);
  if (std::strcmp(key, "Add") != 0) return luaL_error(L, "unknown symbol %s", key);
  lua_pushlightuserdata(L, adder);
  lua_pushcclosure(L, &HandAdd, 1);
  return 1;
}

// The floor of a fetch through a metatable shared by the class (what the layer does): an
// "__index" function in plain C that returns the closure kept in the object's environment
// table, allocating nothing. No binding can fetch for less with one metatable per class.
int CachedIndex(lua_State* L) {
  lua_getfenv(L, 1);
  lua_pushvalue(L, 2);
  lua_rawget(L, -2);
  return 1;
}

// Pushes a full userdata holding adder whose metatable's "__index" is index (on the stack top).
void PushHandObject(lua_State* L, Adder* adder) {
  *static_cast<Adder**>(lua_newuserdata(L, sizeof(Adder*))) = adder;
  lua_insert(L, -2);
  lua_newtable(L);
  lua_insert(L, -2);
  lua_setfield(L, -2, "__index");
  lua_setmetatable(L, -2);
}

class World {
 public:
  World() : L(luaL_newstate()), host(L) {
    luaL_openlibs(L);
    uibind::Class<Adder> cls("Adder");
    cls.Method("Add", &Adder::Add).Method("Add2", &Adder::Add).Method("Add2", &Adder::AddFlag);
    host.Insert(std::move(cls));

    // The bound object: a reference userdata made by a bound free function.
    static Adder* shared = &adder;
    host.Insert(uibind::Function("GetAdder", +[]() -> Adder& { return *shared; }));
    Exec("obj = GetAdder()");
    host.Insert(uibind::Function("AddGlobal", +[](unsigned v) -> unsigned {
      g_globalTotal += v;
      return v;
    }));
    lua_pushcfunction(L, &RawGlobalAdd);
    lua_setglobal(L, "rawaddglobal");

    lua_newtable(L);
    lua_pushcfunction(L, &RawAdd);
    lua_setfield(L, -2, "Add");
    PushHandObject(L, &rawAdder);
    lua_setglobal(L, "rawobj");

    lua_pushlightuserdata(L, &handAdder);
    lua_pushcclosure(L, &HandAdd, 1);
    lua_setglobal(L, "hand");
    lua_pushcfunction(L, &HandIndex);
    PushHandObject(L, &handAdder);
    lua_setglobal(L, "handobj");

    lua_pushcfunction(L, &CachedIndex);
    PushHandObject(L, &floorAdder);
    lua_createtable(L, 0, 1);
    lua_pushlightuserdata(L, &floorAdder);
    lua_pushcclosure(L, &HandAdd, 1);
    lua_setfield(L, -2, "Add");
    lua_setfenv(L, -2);
    lua_setglobal(L, "floorobj");
  }
  ~World() { lua_close(L); }
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  // Compiles a loop body into a function of n kept in the registry.
  int Compile(const std::string& body) {
    const std::string code = "return function(n) " + body + " end";
    if (luaL_dostring(L, code.c_str()) != 0) std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    return luaL_ref(L, LUA_REGISTRYINDEX);
  }
  bool Call(int ref) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    lua_pushinteger(L, kCallsPerIteration);
    if (lua_pcall(L, 1, 0, 0) == 0) return true;
    std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    lua_pop(L, 1);
    return false;
  }
  void Exec(const char* code) {
    if (luaL_dostring(L, code) != 0) std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
  }

  lua_State* L;
  uibind::CHost host;
  Adder adder;
  Adder rawAdder;
  Adder handAdder;
  Adder floorAdder;
};

void RunLoop(benchmark::State& state, const char* body) {
  World world;
  const int ref = world.Compile(body);
  for (auto _ : state) {
    if (!world.Call(ref)) {
      state.SkipWithError("the loop raised a Lua error");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kCallsPerIteration);
}

#define UIBIND_LOOP(name, body)                      \
  void name(benchmark::State& s) { RunLoop(s, body); } \
  BENCHMARK(name)->Repetitions(kRepetitions)

// Cached function, called in a loop.
UIBIND_LOOP(CachedRaw, "local o = rawobj local f = o.Add for i = 1, n do f(o, i) end");
UIBIND_LOOP(CachedHandClosure, "local f = hand for i = 1, n do f(i) end");
UIBIND_LOOP(CachedBound, "local f = obj.Add for i = 1, n do f(i) end");
UIBIND_LOOP(CachedBoundTwoOverloads, "local f = obj.Add2 for i = 1, n do f(i) end");
// A global function, looked up once.
UIBIND_LOOP(GlobalRaw, "local f = rawaddglobal for i = 1, n do f(i) end");
UIBIND_LOOP(GlobalBound, "local f = AddGlobal for i = 1, n do f(i) end");
// Fetched from the object on every call.
UIBIND_LOOP(FetchRaw, "local o = rawobj for i = 1, n do o.Add(o, i) end");
UIBIND_LOOP(FetchHandClosure, "local o = handobj for i = 1, n do o.Add(i) end");
UIBIND_LOOP(FetchBound, "local o = obj for i = 1, n do o.Add(i) end");
UIBIND_LOOP(FetchCachedFloor, "local o = floorobj for i = 1, n do o.Add(i) end");
// One fetch per new userdata (a reference result fetched from once): what keeping the
// fetched function costs when it is never used again.
UIBIND_LOOP(FetchOnceBound, "for i = 1, n do GetAdder().Add(i) end");
UIBIND_LOOP(FetchOnceCallOnly, "for i = 1, n do GetAdder() end");

}  // namespace

int main(int argc, char** argv) {
#ifdef LUAJIT_VERSION
  std::printf("Lua: %s\n", LUAJIT_VERSION);
#else
  std::printf("Lua: %s (C++ build)\n", LUA_RELEASE);
#endif
  RatioReporter reporter;
  if (RunWithRatios(argc, argv, reporter) != 0) return 1;
  std::printf("Ratios (medians of %d repetitions, same run):\n", kRepetitions);
  reporter.PrintRatio("cached f(i) / raw C API f(o, i)", "CachedBound", "CachedRaw", 1.3);
  reporter.PrintRatio("cached f(i) / hand-written closure", "CachedBound", "CachedHandClosure", 1.3);
  reporter.PrintRatio("fetch+call o.Add(i) / raw C API o.Add(o, i)", "FetchBound", "FetchRaw", 1.5);
  reporter.PrintRatio("fetch+call / hand-written closure per fetch", "FetchBound", "FetchHandClosure", 1.5);
  // The least a fetch through one metatable per class can cost, beside the raw baseline.
  reporter.PrintComparison("floor: C __index returning a kept closure / raw C API", "FetchCachedFloor", "FetchRaw");
  reporter.PrintComparison("fetch+call / that floor", "FetchBound", "FetchCachedFloor");
  reporter.PrintRatio("two overloads / one overload (cached)", "CachedBoundTwoOverloads", "CachedBound", 1.1);
  reporter.PrintRatio("global function f(i) / raw C function", "GlobalBound", "GlobalRaw", 1.3);
  benchmark::Shutdown();
  return reporter.ExitCode();
}
