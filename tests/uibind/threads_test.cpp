// Two hosts, each with its own Lua state on its own thread, raising errors at once.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include <lua.hpp>

#include "uibind/uibind.h"

namespace uibind_test {
namespace {

struct Worker {
  int Value(int v) const { return v; }
};

// Runs calls that fail with a text naming this thread's class; returns the first wrong text.
std::string RunFailingCalls(const std::string& className, int rounds) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  std::string wrong;
  {
    uibind::CHost host(L);
    uibind::Class<Worker> worker(className);
    worker.Constructor<>().Method("Value", &Worker::Value);
    host.Insert(std::move(worker));
    const std::string expected = "Can't match method to call '" + className +
                                 ".Value', candidates are:\nValue(int) const\nParameters are:\n* string\n"
                                 "Caused by: no one can be used.\n";
    const std::string code = "local w = " + className + "(); w.Value('x')";
    for (int i = 0; i < rounds && wrong.empty(); ++i) {
      if (luaL_dostring(L, code.c_str()) == 0) {
        wrong = "no error";
      } else if (expected != lua_tostring(L, -1)) {
        wrong = lua_tostring(L, -1);
      }
      lua_settop(L, 0);
    }
    lua_close(L);
  }
  return wrong;
}

TEST(TwoHostsOnTwoThreads, ErrorTextsDoNotMix) {
  std::string first, second;
  std::thread a([&] { first = RunFailingCalls("FirstWorkerClassWithALongName", 3000); });
  std::thread b([&] { second = RunFailingCalls("Second", 3000); });
  a.join();
  b.join();
  EXPECT_EQ(first, "");
  EXPECT_EQ(second, "");
}

}  // namespace
}  // namespace uibind_test
