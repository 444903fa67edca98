// The manager without a working Chromium: a missing program, one that never answers,
// and the manager's own interface.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "components/webpage/browser.h"
#include "components/webpage/webpagemanager.h"
#include "webpage/testsink.h"

namespace webpage {
namespace {

using ManagerPtr = qxdk::UTIL::com_ptr<IWebPageManager>;
using PagePtr = qxdk::UTIL::com_ptr<IWebPage>;

// A folder with a stand-in for Chromium: a shell script `body`. Removed with the object.
class CFakeChromium {
 public:
  explicit CFakeChromium(const std::string& body) {
    char pattern[] = "/tmp/webpage-fake-XXXXXX";
    EXPECT_NE(nullptr, ::mkdtemp(pattern));
    m_folder = pattern;
    std::ofstream(Program()) << "#!/bin/sh\n" << body;
    ::chmod(Program().c_str(), 0755);
  }
  ~CFakeChromium() { std::filesystem::remove_all(m_folder); }
  std::string Program() const { return m_folder + "/chromium"; }
  WebPageOptions Options() const {
    WebPageOptions options;
    options.chromiumPath = Program();
    options.profileFolder = m_folder + "/profile";
    return options;
  }

 private:
  std::string m_folder;
};

std::shared_ptr<webtest::CRecordingSink> SubscribeTo(IWebPage* page, std::initializer_list<const wchar_t*> keys) {
  auto sink = std::make_shared<webtest::CRecordingSink>();
  qxdk::UTIL::com_ptr<IWebPageNotifier> notifier;
  PagePtr(page).QueryInterface(notifier);
  for (const wchar_t* key : keys) EXPECT_EQ(S_OK, notifier->Subscribe(key, sink, nullptr));
  return sink;
}

// The page is handed out at once; what the missing program means comes as events.
TEST(WebpageManager, MissingChromiumReportsTheFailedStartOnThePage) {
  webtest::CLogCapture log;
  WebPageOptions options;
  options.chromiumPath = "/nonexistent/chromium";
  ManagerPtr manager;
  ASSERT_EQ(S_OK, CreateWebPageManager(options, &manager));
  PagePtr page;
  ASSERT_EQ(S_OK, manager->NewPage(nullptr, &page));
  ASSERT_TRUE(page);
  auto sink = SubscribeTo(page.get(), {L"CHLIDHANDLE", L"SHOWIEWND", L"PROCESSCRASH", L"NAVIGATEERROR",
                                       L"ORDERUNSUPPORTED"});
  EXPECT_GE(sink->WaitFor(L"PROCESSCRASH", L"STATUS=start-failed\n"), 0);
  EXPECT_TRUE(log.WaitFor("NewPage failed: Chromium not found at /nonexistent/chromium"));
  EXPECT_GE(sink->WaitFor(L"CHLIDHANDLE"), 0) << "the window is announced all the same";
  EXPECT_GE(sink->WaitFor(L"SHOWIEWND", L"ISWNDSHOW=1\n"), 0);

  // The next order tries again, and fails the same way; the manager stays usable.
  size_t from = sink->Count();
  EXPECT_EQ(S_OK, page->SendOrder(L"CMD=REFRESH\n"));
  EXPECT_GE(sink->WaitFor(L"ORDERUNSUPPORTED", L"CMD=REFRESH\nREASON=the page could not be brought back", from), 0);
  PagePtr second;
  EXPECT_EQ(S_OK, manager->NewPage(nullptr, &second));
  auto secondSink = SubscribeTo(second.get(), {L"PROCESSCRASH"});
  EXPECT_GE(secondSink->WaitFor(L"PROCESSCRASH", L"STATUS=start-failed\n"), 0);
  EXPECT_EQ(E_POINTER, manager->NewPage(nullptr, nullptr));
  // A page that never worked can still be closed.
  EXPECT_EQ(S_OK, second->SendOrder(L"CMD=ClOSETAB\n"));
}

// Orders sent while Chromium starts are kept; when the start fails they are answered in
// the order they were sent. The fake gives up only when the test opens its gate (a FIFO),
// so the orders are surely in before the start fails.
TEST(WebpageManager, OrdersKeptDuringAFailedStartAreAnsweredInTheOrderSent) {
  char pattern[] = "/tmp/webpage-gate-XXXXXX";
  ASSERT_NE(nullptr, ::mkdtemp(pattern));
  const std::string gate = std::string(pattern) + "/gate";
  ASSERT_EQ(0, ::mkfifo(gate.c_str(), 0600));
  CFakeChromium fake("read line < '" + gate + "'\nexit 3\n");
  ManagerPtr manager;
  ASSERT_EQ(S_OK, CreateWebPageManager(fake.Options(), &manager));
  PagePtr page;
  ASSERT_EQ(S_OK, manager->NewPage(nullptr, &page));
  auto sink = SubscribeTo(page.get(), {L"PROCESSCRASH", L"NAVIGATEERROR", L"ORDERUNSUPPORTED"});
  EXPECT_EQ(S_OK, page->SendOrder(L"CMD=NAVIGATE\nURL=http://example.com/\n"));
  EXPECT_EQ(S_OK, page->SendOrder(L"CMD=SAVEHTML\n"));
  std::ofstream(gate) << "go\n";  // blocks until the fake reads: it has started
  EXPECT_GE(sink->WaitFor(L"PROCESSCRASH", L"STATUS=start-failed\n"), 0);
  int error = sink->WaitFor(L"NAVIGATEERROR", L"ERROR=Chromium did not start\nSTATUS=0\nURL=http://example.com/\n");
  int navigate = sink->WaitFor(L"ORDERUNSUPPORTED", L"CMD=NAVIGATE\nREASON=Chromium did not start\n");
  int save = sink->WaitFor(L"ORDERUNSUPPORTED", L"CMD=SAVEHTML\n");
  EXPECT_GE(error, 0);
  EXPECT_LT(error, navigate);
  EXPECT_LT(navigate, save) << "in the order they were sent";
  page = nullptr;
  manager = nullptr;
  std::filesystem::remove_all(pattern);
}

TEST(WebpageManager, ChromiumThatQuitsAtOnceIsReportedWithItsLastWords) {
  // It lets go of its pipe at once and only then writes its last words, so that they
  // can be read only by waiting for the process to end.
  CFakeChromium fake("exec 3>&- 4>&-\nsleep 0.3\necho 'fake browser giving up' >&2\nexit 3\n");
  webtest::CLogCapture log;
  ManagerPtr manager;
  ASSERT_EQ(S_OK, CreateWebPageManager(fake.Options(), &manager));
  PagePtr page;
  ASSERT_EQ(S_OK, manager->NewPage(nullptr, &page));
  auto sink = SubscribeTo(page.get(), {L"PROCESSCRASH", L"ORDERUNSUPPORTED"});
  EXPECT_GE(sink->WaitFor(L"PROCESSCRASH", L"STATUS=start-failed\n"), 0);
  // Whether the command could still be written or not, the start fails the same way, and
  // the failure is reported only after what the dead process wrote has been read.
  EXPECT_TRUE(log.WaitFor("NewPage failed: Chromium did not answer ("));
  EXPECT_TRUE(log.Contains("fake browser giving up")) << testing::PrintToString(log.Entries());
  manager = nullptr;
}

// Started ahead of the first page: Chromium runs before any NewPage (the fake one here
// gives up at once, which shows that it ran), a failed start is logged, and the first page
// starts it again. Only a manager of this component can be started.
TEST(WebpageManager, ChromiumStartedAheadOfTheFirstPageIsStartedAgainWhenItFailed) {
  CFakeChromium fake("exec 3>&- 4>&-\necho 'fake browser giving up' >&2\nexit 3\n");
  webtest::CLogCapture log;
  ManagerPtr manager;
  ASSERT_EQ(S_OK, CreateWebPageManager(fake.Options(), &manager));
  ASSERT_EQ(S_OK, StartWebPageBrowser(manager.get()));
  EXPECT_TRUE(log.WaitFor("Chromium did not start ahead of the first page: Chromium did not answer ("));
  EXPECT_TRUE(log.Contains("fake browser giving up")) << testing::PrintToString(log.Entries());
  EXPECT_FALSE(log.Contains("NewPage failed"));
  PagePtr page;
  ASSERT_EQ(S_OK, manager->NewPage(nullptr, &page));
  auto sink = SubscribeTo(page.get(), {L"PROCESSCRASH"});
  EXPECT_GE(sink->WaitFor(L"PROCESSCRASH", L"STATUS=start-failed\n"), 0);
  EXPECT_TRUE(log.WaitFor("NewPage failed: Chromium did not answer ("));
  EXPECT_EQ(E_INVALIDARG, StartWebPageBrowser(nullptr));
  manager = nullptr;
}

// A Chromium that never answers: NewPage does not wait for it, orders are kept, and
// releasing the pages and the manager meanwhile is safe.
TEST(WebpageManager, NewPageReturnsWhileChromiumIsStillStarting) {
  CFakeChromium fake("exec sleep 120\n");
  webtest::CLogCapture log;
  ManagerPtr manager;
  ASSERT_EQ(S_OK, CreateWebPageManager(fake.Options(), &manager));
  auto before = std::chrono::steady_clock::now();
  PagePtr kept, released;
  ASSERT_EQ(S_OK, manager->NewPage(nullptr, &kept));
  ASSERT_EQ(S_OK, manager->NewPage(nullptr, &released));
  // Generous for a busy machine: without waiting, this takes well under a millisecond.
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  auto sink = SubscribeTo(kept.get(), {L"CHLIDHANDLE", L"PROCESSCRASH"});
  EXPECT_GE(sink->WaitFor(L"CHLIDHANDLE"), 0);
  EXPECT_EQ(S_OK, kept->SendOrder(L"CMD=NAVIGATE\nURL=http://example.com/\n"));
  EXPECT_EQ(E_INVALIDARG, kept->SendOrder(L"CMD=NAVIGATE\n"));
  qxdk::UTIL::com_ptr<IWebPageData> data;
  kept.QueryInterface(data);
  EXPECT_EQ(S_OK, data->SetData(L"font.size", L"3"));
  wchar_t* size = nullptr;
  ASSERT_EQ(S_OK, data->GetData(L"font.size", &size));
  EXPECT_STREQ(L"3", size);
  data->FreeData(size);
  wchar_t* back = nullptr;
  ASSERT_EQ(S_OK, data->GetData(L"TRAVELLOG_BACK", &back));
  EXPECT_STREQ(L"", back);
  data->FreeData(back);
  released = nullptr;  // while its setup is under way
  manager = nullptr;   // ends the Chromium that is starting
  EXPECT_EQ(E_FAIL, kept->SendOrder(L"CMD=REFRESH\n"));
  EXPECT_TRUE(log.Contains("REFRESH dropped: the page is closed"));
  EXPECT_EQ(-1, sink->WaitFor(L"PROCESSCRASH", L"", 0, std::chrono::seconds(0))) << "a release is no crash";
  data = nullptr;
  kept = nullptr;
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
  // Headless pages are tabs of the one window, which has the size of a new view.
  EXPECT_TRUE(has("--window-size=1280,800"));
  EXPECT_EQ(headed.end(), std::find(headed.begin(), headed.end(), "--window-size=1280,800"));
}

// Headless, a page is a tab opened behind the others (no window each: a window per page
// costs half a load more and leaks memory in Chromium); with a display, a window of its own.
TEST(WebpageManager, APageGetsAWindowOfItsOwnOnlyWhenChromiumShowsWindows) {
  const Json headless = CBrowser::NewTargetParams(false);
  EXPECT_FALSE(headless.contains("newWindow"));
  EXPECT_TRUE(headless.value("background", false));
  EXPECT_EQ("about:blank", headless.value("url", ""));
  const Json headed = CBrowser::NewTargetParams(true);
  EXPECT_TRUE(headed.value("newWindow", false));
  EXPECT_EQ(1280, headed.value("width", 0));
  EXPECT_EQ(800, headed.value("height", 0));
}

}  // namespace
}  // namespace webpage
