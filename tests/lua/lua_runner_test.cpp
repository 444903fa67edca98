// Runs every Lua test file as a CTest case; each file holds named cases (see prelude).
#include <gtest/gtest.h>
#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "luatesthost.h"

namespace {

// The small framework Lua tests are written with: case(name, fn), eq, ok, raises.
const char kPrelude[] = R"lua(
local failures, cases = {}, {}
function case(name, fn) cases[#cases + 1] = {name = name, fn = fn} end
function ok(value, message) if not value then error(message or "expected a true value", 2) end end
function eq(actual, expected, message)
  if actual ~= expected then
    error(string.format("%s: expected %s, got %s", message or "values differ", tostring(expected), tostring(actual)), 2)
  end
end
-- Calls fn, which must raise an error whose text contains `text` (plain find).
function raises(fn, text)
  local good, err = pcall(fn)
  if good then error("expected an error containing: " .. text, 2) end
  if not string.find(tostring(err), text, 1, true) then
    error("error text differs:\n  expected to contain: " .. text .. "\n  got: " .. tostring(err), 2)
  end
  return err
end
-- Dispatches notifications until pred() holds or the time runs out (measured on the
-- host's monotonic clock: os.clock is processor time and stands still while waiting).
function pump_until(pred, timeout_ms)
  local deadline = test.now_ms() + (timeout_ms or 30000)
  while not pred() do
    local left = deadline - test.now_ms()
    if left <= 0 then return false end
    test.pump(math.min(left, 1000))
  end
  return true
end
function __run_cases()
  for _, c in ipairs(cases) do
    local good, err = xpcall(c.fn, debug.traceback)
    if not good then failures[#failures + 1] = c.name .. ": " .. tostring(err) end
  end
  if #failures > 0 then error(table.concat(failures, "\n\n"), 0) end
  return #cases
end
)lua";

std::vector<std::string> LuaFiles() {
  std::vector<std::string> files;
  if (DIR* dir = opendir(LUA_TEST_DIR)) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lua") == 0) files.push_back(name);
    }
    closedir(dir);
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class LuaFile : public ::testing::TestWithParam<std::string> {};

TEST_P(LuaFile, Passes) {
  const std::string code = ReadFile(std::string(LUA_TEST_DIR) + "/" + GetParam());
  ASSERT_FALSE(code.empty());
  // A first line "--! without TabInfo" runs the file before TabInfo is installed.
  const bool installTabInfo = code.rfind("--! without TabInfo", 0) != 0;
  LuaTestHost host(installTabInfo);
  ASSERT_EQ(host.Run(kPrelude, "=prelude"), "");
  // The interface's modules (the browser model) load as an interface loads them.
  ASSERT_EQ(host.Run("package.path = '" UI_DIR "/?.lua;' .. package.path", "=path"), "");
  ASSERT_EQ(host.Run(code, "@" + GetParam()), "");
  EXPECT_EQ(host.Run("__run_cases()", "=run"), "");
}

INSTANTIATE_TEST_SUITE_P(Lua, LuaFile, ::testing::ValuesIn(LuaFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param.substr(0, info.param.size() - 4);
                           std::replace_if(name.begin(), name.end(), [](char c) { return !isalnum(c); }, '_');
                           return name;
                         });

}  // namespace
