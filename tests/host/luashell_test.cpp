// The "host" table of the shell's Lua state, as a script uses it.
#include "host/luashell.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>

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

}  // namespace
