// The manager without a working Chromium: a missing program, one that never answers,
// and the manager's own interface.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "components/webpage/browser.h"
#include "components/webpage/webpagemanager.h"
#include "webpage/testsink.h"

namespace webpage {
namespace {

using ManagerPtr = qxdk::UTIL::com_ptr<IWebPageManager>;
using PagePtr = qxdk::UTIL::com_ptr<IWebPage>;

TEST(WebpageManager, MissingChromiumFailsNewPageWithALogEntry) {
  webtest::CLogCapture log;
  WebPageOptions options;
  options.chromiumPath = "/nonexistent/chromium";
  ManagerPtr manager;
  ASSERT_EQ(S_OK, CreateWebPageManager(options, &manager));
  PagePtr page;
  EXPECT_EQ(E_FAIL, manager->NewPage(nullptr, &page));
  EXPECT_FALSE(page);
  EXPECT_TRUE(log.Contains("NewPage failed: Chromium not found at /nonexistent/chromium"));
  // The manager stays usable and answers the same way again.
  EXPECT_EQ(E_FAIL, manager->NewPage(nullptr, &page));
  EXPECT_EQ(E_POINTER, manager->NewPage(nullptr, nullptr));
}

TEST(WebpageManager, ChromiumThatQuitsAtOnceFailsNewPage) {
  char pattern[] = "/tmp/webpage-fake-XXXXXX";
  ASSERT_NE(nullptr, ::mkdtemp(pattern));
  std::string program = std::string(pattern) + "/chromium";
  // It lets go of its pipe at once and only then writes its last words, so that they
  // can be read only by waiting for the process to end.
  std::ofstream(program) << "#!/bin/sh\nexec 3>&- 4>&-\nsleep 0.3\necho 'fake browser giving up' >&2\nexit 3\n";
  ::chmod(program.c_str(), 0755);
  webtest::CLogCapture log;
  WebPageOptions options;
  options.chromiumPath = program;
  options.profileFolder = std::string(pattern) + "/profile";
  ManagerPtr manager;
  ASSERT_EQ(S_OK, CreateWebPageManager(options, &manager));
  PagePtr page;
  EXPECT_EQ(E_FAIL, manager->NewPage(nullptr, &page));
  // Whether the command could still be written or not, the start fails the same way, and
  // the failure is reported only after what the dead process wrote has been read.
  EXPECT_TRUE(log.Contains("NewPage failed: Chromium did not answer ("));
  EXPECT_TRUE(log.Contains("fake browser giving up")) << testing::PrintToString(log.Entries());
  manager = nullptr;
  std::filesystem::remove_all(pattern);
}

TEST(WebpageManager, AnswersOnlyItsOwnInterfaces) {
  ManagerPtr manager;
  ASSERT_EQ(S_OK, CreateWebPageManager(WebPageOptions(), &manager));
  void* out = nullptr;
  EXPECT_EQ(S_OK, manager->QueryInterface(IID_IUnknown, &out));
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(S_OK, manager->QueryInterface(IWebPageManager::iid, &out));
  static_cast<IUnknown*>(out)->Release();
  EXPECT_EQ(E_NOINTERFACE, manager->QueryInterface(IWebPage::iid, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_NOTIMPL, manager->Reserved(nullptr));
  EXPECT_EQ(E_POINTER, CreateWebPageManager(WebPageOptions(), nullptr));
}

TEST(WebpageManager, ChromiumGetsTheSwitchesOfAClosedNetwork) {
  WebPageOptions options;
  options.extraArguments = {"--lang=de"};
  std::vector<std::string> args = CBrowser::Arguments(options, false, "/p");
  auto has = [&](const std::string& flag) { return std::find(args.begin(), args.end(), flag) != args.end(); };
  for (const char* flag : {"--headless=new", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                           "--disable-component-update", "--disable-sync", "--disable-quic",
                           "--remote-debugging-pipe", "--user-data-dir=/p", "--lang=de"}) {
    EXPECT_TRUE(has(flag)) << flag;
  }
  EXPECT_EQ(::geteuid() == 0, has("--no-sandbox"));
  EXPECT_FALSE(has("--disable-popup-blocking"));
  EXPECT_FALSE(has("--headless=new") && CBrowser::Arguments(options, true, "/p").size() == args.size());
  options.blockPopups = false;
  std::vector<std::string> headed = CBrowser::Arguments(options, true, "/p");
  EXPECT_EQ(headed.end(), std::find(headed.begin(), headed.end(), "--headless=new"));
  EXPECT_NE(headed.end(), std::find(headed.begin(), headed.end(), "--disable-popup-blocking"));
}

}  // namespace
}  // namespace webpage
