// The "host" table of the shell's Lua state, as a script uses it.
#include "host/luashell.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string WriteScript(const std::string& text) {
  char path[] = "/tmp/luashell_test_XXXXXX";
  const int fd = mkstemp(path);
  if (fd >= 0) close(fd);
  std::ofstream(path) << text;
  return path;
}

TEST(LuaShell, TimersTakeAnyDelayAndRefuseWhatIsNoNumber) {
  // Delays far beyond what a clock holds wait as long as a timer can; a negative one is
  // due at once; "not a number" is an error in the script, not undefined behaviour.
  const std::string path = WriteScript(
      "host.after(1e300, function() end)\n"
      "host.after(2^63, function() end)\n"
      "host.after(-1/0, function() host.quit(3) end)\n"
      "local ok, err = pcall(host.after, 0/0, function() end)\n"
      "assert(not ok and err:find('the delay is not a number', 1, true), tostring(err))\n");
  CLuaShell shell;
  std::string error;
  ASSERT_TRUE(shell.RunScript(path, &error)) << error;
  std::remove(path.c_str());
  EXPECT_EQ(INT_MAX, shell.RunDueTimers()) << "the next timer is a year away";
  EXPECT_TRUE(shell.QuitRequested());
  EXPECT_EQ(3, shell.ExitStatus());
}

TEST(LuaShell, WidgetSignalsAreHandledOnlyWhenTheScriptSaysSo) {
  // A graphical interface's signals: the handler's true stops a key; no handler, a false
  // result and an error all leave it to the host (the error reaches OnError).
  const std::string path = WriteScript(
      "errors = 0\n"
      "function OnError(text) errors = errors + 1 end\n"
      "function OnWidgetSignal(id, signal, arg)\n"
      "  if signal == 'key' then return arg == 'ctrl+t' end\n"
      "  if signal == 'bad' then error('broken handler') end\n"
      "  if signal == 'count' then host.quit(id) end\n"
      "end\n");
  CLuaShell shell;
  std::string error;
  ASSERT_TRUE(shell.RunScript(path, &error)) << error;
  std::remove(path.c_str());
  EXPECT_TRUE(shell.CallSignal(1, "key", "ctrl+t"));
  EXPECT_FALSE(shell.CallSignal(1, "key", "ctrl+y"));
  EXPECT_FALSE(shell.CallSignal(1, "bad", ""));
  EXPECT_EQ(shell.ScriptErrors(), 1);
  EXPECT_FALSE(shell.CallSignal(7, "count", ""));
  EXPECT_EQ(shell.ExitStatus(), 7);
}

// Runs `text` as a script in a shell with the library's API and the interface's modules.
// The first call for a shell installs the library's API and the module folder.
bool RunWithModules(CLuaShell& shell, const std::string& text, std::string* error, bool first = true) {
  if (first) {
    if (!shell.InstallAPIs(error)) return false;
    shell.AddModuleFolder(UI_DIR);
    shell.SetHostString("base_url", "http://127.0.0.1:8000/");
  }
  const std::string path = WriteScript(text);
  const bool ran = shell.RunScript(path, error);
  std::remove(path.c_str());
  return ran;
}

// What a script hoards until the state's ceiling stops it: Lua strings, tables, and
// strings beside 20 large native arrays (whose elements lie outside Lua's allocator:
// luamemory.h). Each time the call ends with "not enough memory", the shell goes on, and
// once the script lets the hoard go the state is as usable as before.
struct Hoard {
  const char* name;
  const char* add;  // a Lua expression for item i
};

void PrintTo(const Hoard& c, std::ostream* out) { *out << c.name; }

class LuaShellMemory : public ::testing::TestWithParam<Hoard> {};

TEST_P(LuaShellMemory, TheCeilingIsAnErrorTheInterfaceSurvives) {
  constexpr size_t kLimit = size_t{64} << 20;
  CLuaShell shell(kLimit);
  if (!shell.MemoryLimited()) GTEST_SKIP() << "this Lua takes no allocator of the host's";
  std::string error;
  ASSERT_TRUE(RunWithModules(shell,
                             "errors = {}\n"
                             "function OnError(text) errors[#errors + 1] = text end\n"
                             "function OnTabNotify()\n"
                             "  hoard = {}\n"
                             "  for i = 1, 1e7 do hoard[i] = " + std::string(GetParam().add) + " end\n"
                             "end\n",
                             &error))
      << error;
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    shell.CallTab(1, L"TITLECHANGE", L"TITLE=x\n");
    EXPECT_EQ(round, shell.ScriptErrors());
    EXPECT_LE(shell.MemoryUsed(), kLimit + (size_t{1} << 20));
    ASSERT_TRUE(RunWithModules(shell,
                               "local e = errors[#errors]\n"
                               "assert(e and e:find('not enough memory', 1, true), tostring(e))\n"
                               "hoard = nil\n"
                               "collectgarbage()\n"
                               "local t = {}\n"
                               "for i = 1, 1000 do t[i] = ('line %d'):format(i) end\n"
                               "assert(#table.concat(t, '\\n') > 6000)\n",
                               &error, false))
        << error;
    EXPECT_LT(shell.MemoryUsed(), size_t{16} << 20) << "what the hoard held is given back";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hoards, LuaShellMemory,
    ::testing::Values(Hoard{"Strings", "string.rep('x', 65536) .. i"}, Hoard{"Tables", "{i, i + 1, {}, {x = i}}"},
                      Hoard{"StringsBesideArrays", "i <= 20 and std.uintarr(4194304) or string.rep('y', 1048576) .. i"}),
    [](const ::testing::TestParamInfo<Hoard>& info) { return std::string(info.param.name); });

TEST(LuaShell, UncaughtErrorsReachTheScriptWholeAndAreCounted) {
  CLuaShell shell;
  std::string error;
  ASSERT_TRUE(RunWithModules(shell,
                             "shown = {}\n"
                             "function OnError(text) shown[#shown + 1] = text end\n"
                             "function OnTabNotify(id, key) error('first line\\nsecond line of ' .. key) end\n"
                             "function OnDataNotify() OnError = function() error('in OnError') end error('again') end\n",
                             &error))
      << error;
  EXPECT_EQ(0, shell.ScriptErrors());
  shell.CallTab(1, L"TITLECHANGE", L"TITLE=x\n");
  EXPECT_EQ(1, shell.ScriptErrors());
  ASSERT_TRUE(RunWithModules(shell,
                             "local t = shown[1]\n"
                             "assert(t:find('ui error in OnTabNotify', 1, true), t)\n"
                             "assert(t:find('second line of TITLECHANGE', 1, true), t)\n"
                             "assert(t:find('stack traceback', 1, true), t)\n",
                             &error, false))
      << error;
  // An error in OnError itself ends on standard error, not in a loop.
  shell.CallData(L"GetAllFavoriteItems", L"");
  EXPECT_EQ(3, shell.ScriptErrors());
}

TEST(LuaShell, CompletionsComeFromTheScript) {
  CLuaShell shell;
  std::string error;
  ASSERT_TRUE(RunWithModules(shell,
                             "function OnComplete(word, before)\n"
                             "  if before == 'bad ' then return 'not a list' end\n"
                             "  if before == 'fail ' then error('no') end\n"
                             "  return {word .. '1', before .. '2', {}, 'never'}\n"
                             "end\n",
                             &error))
      << error;
  EXPECT_EQ((std::vector<std::string>{"ab1", "tab 2"}), shell.CallComplete("ab", "tab "));
  EXPECT_TRUE(shell.CallComplete("x", "bad ").empty());
  EXPECT_TRUE(shell.CallComplete("x", "fail ").empty());
  EXPECT_EQ(1, shell.ScriptErrors());
}

TEST(LuaShell, OrdersNameATabByItsNumber) {
  CLuaShell shell;
  std::string error;
  ASSERT_TRUE(RunWithModules(shell,
                             "for _, id in ipairs({0, -1, 1.5, 2^32, 0/0}) do\n"
                             "  local ok, err = pcall(host.order, id, 'CMD=STOP\\n')\n"
                             "  assert(not ok and err:find('a tab id is a whole number', 1, true), tostring(id))\n"
                             "end\n"
                             "assert(not pcall(host.order, 1))\n"
                             "assert(host.order(4000000000, 'CMD=STOP\\n') == false, 'no such tab')\n"
                             "local columns, rows = host.terminal_size()\n"
                             "assert(columns > 0 and rows > 0)\n"
                             "host.prompt('x') host.pager(true) host.pager(false)\n",
                             &error))
      << error;
}

// The interface's modules, loaded as any script can load them.
TEST(LuaShell, AddressesPageTextAndLayout) {
  CLuaShell shell;
  std::string error;
  ASSERT_TRUE(RunWithModules(shell, R"LUA(
local browser, reader = require("browser"), require("reader")
local function same(want, got) assert(want == got, ("wanted %q, got %q"):format(tostring(want), tostring(got))) end
local search = browser.search_url("x"):gsub("x$", "")
for input, want in pairs({
  ["127.0.0.1:8765"] = "http://127.0.0.1:8765", ["localhost"] = "http://localhost",
  ["localhost:8765/a"] = "http://localhost:8765/a", ["[::1]:8765"] = "http://[::1]:8765",
  ["myhost:8080/path?q=1"] = "http://myhost:8080/path?q=1", ["example.com"] = "http://example.com",
  ["news.html"] = "http://127.0.0.1:8000/news.html", ["about:blank"] = "about:blank",
  ["https://a.b/c"] = "https://a.b/c", ["  example.com/x  "] = "http://example.com/x",
  ["two words"] = search .. "two%20words", ["word"] = search .. "word", ["foo:bar"] = search .. "foo%3Abar",
  ["1.2.3"] = search .. "1.2.3",
}) do same(want, browser.address(input)) end

same("a|b\\c|", table.concat(browser.lines("a\\nb\\\\c\\n"), "|") .. "|")
same(0, #browser.lines(""))
same("x y\194\174", browser.clean("\27[2Jx\7y\treg\t"))
same("ab", browser.clean("a\194\155b"))
local v = browser.values("COUNT=1f\nFOUND=TRUE\nTEXT=a=b\n")
same("1f", v.COUNT) same("a=b", v.TEXT)
same("404 Not Found", browser.load_error({ERROR = "HTTP 404 Not Found"}))
same("name not resolved", browser.load_error({ERROR = "net::ERR_NAME_NOT_RESOLVED"}))

-- PAGETEXT reaches what waits for it, its lines made safe to print.
local got
browser.tabs[1] = {id = 7, title = "", url = "", progress = 0}
browser.tabs[1].waiting = {{key = "text", fn = function(tab) got = tab.text end}}
browser.on_tab(7, "PAGETEXT", "CUT=FALSE\nLINKS=http://x/\\n\nTEXT=P:a\194\155b [1]\\n1:H\\n\nTITLE=T\27]0;x\7\n")
same("P:ab [1]|1:H", table.concat(got.lines, "|"))
same("http://x/", got.links[1])
same("T ]0;x ", got.title)  -- no escape character is left
browser.on_tab(7, "BEFORENAVIGATE", "URL=http://y/\n")
same(nil, browser.tabs[1].text)
same(4, reader.width("a\194\174\231\172\148"))  -- a wide character takes two columns
same("one two|three", table.concat(reader.wrap("one two three", 8), "|"))
same("abcdefgh|ij", table.concat(reader.wrap("abcdefghij", 8), "|"))
local out = reader.layout({"1:Title", "P:some words here", "L1:item one", "L2:1. inner", "R:a | b", "Q:  x = 1"}, 12)
same(table.concat({"Title", "=====", "", "some words", "here", "", "* item one", "  1. inner", "", "  a | b", "",
                   "  x = 1"}, "|"), table.concat(out, "|"))
)LUA",
                             &error))
      << error;
}

// The terminal interface completes commands and the addresses of earlier runs.
TEST(LuaShell, TheTerminalInterfaceCompletes) {
  char folder[] = "/tmp/luashell_profile_XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  std::ofstream(std::string(folder) + "/command-history") << "open example.com/news\ngo localhost:8000/a\nzoom 150\n";
  CLuaShell shell;
  std::string error;
  ASSERT_TRUE(RunWithModules(shell, "", &error)) << error;
  shell.SetHostString("profile", folder);
  ASSERT_TRUE(shell.RunScript(std::string(UI_DIR) + "/main.lua", &error)) << error;
  EXPECT_EQ((std::vector<std::string>{"bookmark", "bookmarks"}), shell.CallComplete("boo", ""));
  EXPECT_EQ((std::vector<std::string>{"example.com/news"}), shell.CallComplete("exa", "open "));
  EXPECT_EQ((std::vector<std::string>{"localhost:8000/a"}), shell.CallComplete("lo", "go "));
  EXPECT_EQ((std::vector<std::string>{"html"}), shell.CallComplete("h", "save "));
  EXPECT_TRUE(shell.CallComplete("", "tab ").empty()) << "no tabs yet";
  EXPECT_EQ(0, shell.ScriptErrors());
  std::remove((std::string(folder) + "/command-history").c_str());
  rmdir(folder);
}

}  // namespace
