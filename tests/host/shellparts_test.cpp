// The shell's parts that need neither Lua nor a browser: typed lines, the log's text,
// the options.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "components/datastore/datastore.h"
#include "host/hostdialogs.h"
#include "host/lineeditor.h"
#include "host/recovery.h"
#include "host/shelllog.h"
#include "host/shelloptions.h"

namespace {

TEST(ShellParts, TypedLinesLoseEscapeSequencesAndControlCharacters) {
  EXPECT_EQ("open news.html", CLineEditor::CleanLine("open news.html"));
  // Keys the editor did not take (F5, a cursor report, a title request) never reach a command.
  EXPECT_EQ("go x", CLineEditor::CleanLine("go \x1b[15~x"));
  EXPECT_EQ("ab", CLineEditor::CleanLine("a\x1b[12;40Rb"));
  EXPECT_EQ("ab", CLineEditor::CleanLine("a\x1b]0;title\ab"));
  EXPECT_EQ("ab", CLineEditor::CleanLine("a\x1b]0;title\x1b\\b"));
  EXPECT_EQ("ab", CLineEditor::CleanLine("a\x1bOb"));
  EXPECT_EQ("a b", CLineEditor::CleanLine("a\tb\x01\x7f\r"));
  // C1 controls in UTF-8 go; other characters stay.
  EXPECT_EQ("x\xc2\xae\xe7\xac\x94", CLineEditor::CleanLine("x\xc2\x9b\xc2\xae\xe7\xac\x94"));
  EXPECT_EQ("", CLineEditor::CleanLine("\x1b["));
}

TEST(ShellParts, TheLogIsUtf8Only) {
  EXPECT_EQ("plain \xe7\xac\x94\xe8\xae\xb0", ValidUtf8("plain \xe7\xac\x94\xe8\xae\xb0"));
  const std::string bad = "\xef\xbf\xbd";
  EXPECT_EQ("a" + bad + "b", ValidUtf8("a\xff" "b"));
  EXPECT_EQ(bad + bad, ValidUtf8("\xc0\xaf"));           // an overlong '/'
  EXPECT_EQ(bad + bad + bad, ValidUtf8("\xed\xa0\x80"));  // a surrogate
  EXPECT_EQ("x" + bad + bad, ValidUtf8("x\xe7\xac"));    // cut short: one per byte
  EXPECT_EQ(bad + bad + bad + bad, ValidUtf8("\xf4\x90\x80\x80"));  // past U+10FFFF

  char path[] = "/tmp/shelllog_test_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  {
    CShellLog log(path);
    log.Write("web\xfe", "title \xb1\xea\xcc\xe2");
  }
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ("web" + bad + ": title " + bad + bad + bad + bad, line);
  std::remove(path);

  // The library's own entries in GB18030 become readable UTF-8; other bytes do not pass.
  EXPECT_EQ("IO \xe5\xb7\xa5\xe4\xbd\x9c", LibraryTextToUtf8("IO \xb9\xa4\xd7\xf7"));
  EXPECT_EQ("ok \xe7\xac\x94", LibraryTextToUtf8("ok \xe7\xac\x94"));
  EXPECT_EQ("a" + bad, LibraryTextToUtf8("a\xff"));
}

TEST(ShellParts, LuaMemoryOption) {
  struct Case {
    const char* value;
    bool ok;
    size_t mib;
  } const cases[] = {{"256", true, 256}, {"16", true, 16}, {"1048576", true, 1048576}, {"15", false, 0},
                     {"1048577", false, 0}, {"-5", false, 0}, {"1e3", false, 0}, {"", false, 0},
                     {"99999999999999999999", false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const char* argv[] = {"uicontrol-shell", "--lua-memory", c.value};
    ShellOptions options;
    std::string error;
    EXPECT_EQ(c.ok, ParseShellOptions(3, const_cast<char**>(argv), "ui.lua", &options, &error)) << error;
    if (c.ok) EXPECT_EQ(c.mib, options.luaMemoryMiB);
    else EXPECT_NE(std::string::npos, error.find("--lua-memory needs a whole number of MiB")) << error;
  }
  ShellOptions defaults;
  EXPECT_EQ(1024u, defaults.luaMemoryMiB);
  EXPECT_NE(std::string::npos, ShellUsage().find("--lua-memory MiB"));
}

TEST(ShellParts, RestoreOption) {
  const char* argv[] = {"uicontrol-shell", "--restore", "--profile", "/tmp/p"};
  ShellOptions options;
  std::string error;
  ASSERT_TRUE(ParseShellOptions(4, const_cast<char**>(argv), "ui.lua", &options, &error)) << error;
  EXPECT_TRUE(options.restore);
  EXPECT_NE(std::string::npos, ShellUsage().find("--restore"));
}

// Titles and addresses come from pages: whatever they hold, the texts the host writes
// keep them on their own lines, so that a page cannot add an entry of its own.
TEST(ShellParts, PageTextsStayOnTheirLines) {
  CNotificationQueue queue;
  IEditFavoriteDlg* dialog = CreateEditFavoriteDialog(queue);
  dialog->ShowDialog(2, 5, nullptr, L"a\nurl=http://evil/\r", L"http://x/", 0);
  dialog->Release();
  std::wstring text;
  queue.Dispatch([&](const HostNotification& n) { text = n.value; });
  EXPECT_EQ(L"id=5\npid=2\ntitle=a url=http://evil/ \nurl=http://x/\n", text);

  char folder[] = "/tmp/recovery_test_XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  datastore::DataStoreOptions options;
  options.databasePath = std::string(folder) + "/datastore.db";
  IDataAccessor* store = nullptr;
  ASSERT_TRUE(SUCCEEDED(datastore::CreateDataStore(options, &store)) && store);
  SaveClosedTab(store, L"u1", L"t\nurl=http://evil/", std::wstring(L"http://a/\0b", 11));
  std::wstring url;
  EXPECT_TRUE(LookupClosedTab(store, L"u1", &url));
  EXPECT_EQ(L"http://a/b", url);
  // Looking a tab up takes it out of the list.
  EXPECT_FALSE(LookupClosedTab(store, L"u1", &url));
  store->Release();
  EXPECT_EQ(0, std::system((std::string("rm -rf ") + folder).c_str()));
}

}  // namespace
