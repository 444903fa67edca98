// The browser session both programs run: the order in which it starts and ends the
// profile, the store, the page engine, the tab manager and the face, and what it leaves
// behind when a step fails half-way (nothing held, nothing handed to the library).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "doubles/fakewebpage.h"
#include "host/browsersession.h"
#include "host/recovery.h"
#include "uicontrol/tabmanager.h"

namespace {

using Trace = std::vector<std::string>;

// A face that records when the session reaches it, and what the library holds then.
class CRecordingFace : public CSessionFace {
 public:
  explicit CRecordingFace(Trace& trace) : m_trace(trace) {}

  HWND CreateMainWindow() override {
    m_trace.push_back("window");
    return CSessionFace::CreateMainWindow();
  }
  bool Install(CBrowserSession& session, std::string* error) override {
    // The components are handed to the library before the interface is installed.
    m_trace.push_back(CTabManager::GetWebPageManager() && CTabManager::GetDataAccessor() ? "install" : "install early");
    session.Shell().SetHostString("ui_dir", "");
    if (!installError.empty()) *error = installError;
    return installError.empty();
  }
  void Run(CBrowserSession& session) override {
    m_trace.push_back("run");
    while (!session.Shell().QuitRequested()) {
      session.DispatchNotifications();
      session.Shell().RunDueTimers();
    }
  }
  void Uninstall(CBrowserSession&) override {
    m_trace.push_back(CTabManager::GetWebPageManager() ? "uninstall" : "uninstall late");
  }
  void DrainEngineWork() override {
    m_trace.push_back("drain");
    if (onDrain) onDrain();
    onDrain = nullptr;
  }
  void ReleaseViews() override {
    m_trace.push_back(CTabManager::GetWebPageManager() || FakeWebPageManager::LiveCount() != 0 ? "views early" : "views");
  }

  std::string installError;
  std::function<void()> onDrain;  // once, at the first drain (after the tabs closed)

 private:
  Trace& m_trace;
};

class BrowserSession : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/session_test_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder));
    m_root = folder;
    options.profile = m_root + "/profile";
    options.ui = m_root + "/ui.lua";
    WriteScript("function OnStart() host.quit(3) end\n");
    engine.name = "fake";
    engine.unavailable = [this](const PageEngineSettings&) {
      trace.push_back("check");
      return unavailable;
    };
    engine.create = [this](const PageEngineSettings& settings, IWebPageManager** out) -> HRESULT {
      trace.push_back("engine");
      this->settings = settings;
      if (engineFails) return E_FAIL;
      auto* pages = new FakeWebPageManager;
      pages->AddRef();
      *out = pages;
      return S_OK;
    };
  }
  void TearDown() override {
    EXPECT_EQ(0, FakeWebPageManager::LiveCount());
    EXPECT_FALSE(CTabManager::GetWebPageManager());
    EXPECT_FALSE(CTabManager::GetDataAccessor());
    // The profile is free for the next program.
    CProfileLock next;
    if (access(options.profile.c_str(), F_OK) == 0) {
      EXPECT_TRUE(next.Take(options.profile));
    }
    const std::string command = "rm -rf '" + m_root + "'";
    EXPECT_EQ(0, std::system(command.c_str()));
  }
  void WriteScript(const std::string& text) { std::ofstream(options.ui) << text; }
  // Runs a session to its end; the messages it wrote go to *messages.
  int RunSession(std::string* messages) {
    ::testing::internal::CaptureStderr();
    int status;
    {
      CBrowserSession session(options, SessionTexts{}, engine, face);
      status = session.Run();
    }
    *messages = ::testing::internal::GetCapturedStderr();
    return status;
  }
  std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string m_root;
  ShellOptions options;
  PageEngine engine;
  PageEngineSettings settings;
  std::string unavailable;
  bool engineFails = false;
  Trace trace;
  CRecordingFace face{trace};
};

TEST_F(BrowserSession, StartsInTheDocumentedOrderAndEndsInReverse) {
  WriteScript(
      "function OnStart()\n"
      "  local f = io.open(host.profile .. '/seen', 'w')\n"
      "  f:write(host.engine, ' ', host.home, ' ', tostring(host.restore))\n"
      "  f:close()\n"
      "  host.quit(3)\n"
      "end\n");
  options.restore = true;
  // The script's tabs are saved as it reports them once it armed the writer; tabs that
  // close while the program quits stay in the session and not in the closed list.
  face.onDrain = [this] { settings.onTabClosedForRecovery(L"u-1", L"News", L"http://127.0.0.1/news.html"); };
  WriteScript(
      "function OnStart()\n"
      "  local f = io.open(host.profile .. '/seen', 'w')\n"
      "  f:write(host.engine, ' ', host.home, ' ', tostring(host.restore), ' ', tostring(host.unclean_end))\n"
      "  f:close()\n"
      "  host.session_tabs({{id = 7, url = 'http://127.0.0.1/one.html'}, {id = 8, url = 'http://127.0.0.1/two.html'}}, 8)\n"
      "  host.session_arm()\n"
      "  host.quit(3)\n"
      "end\n");
  std::string messages;
  EXPECT_EQ(3, RunSession(&messages)) << messages;
  EXPECT_EQ("", messages);
  EXPECT_EQ((Trace{"check", "window", "engine", "install", "run", "uninstall", "drain", "drain", "views"}), trace);
  EXPECT_EQ("fake about:blank true false", ReadFile(options.profile + "/seen"));
  EXPECT_EQ(options.profile + "/fake", settings.dataFolder);
  EXPECT_EQ(L"about:blank", settings.homePage);
  EXPECT_TRUE(settings.trustedOrigins.empty());

  // The next session on the profile hands the tabs to the script with the selected one,
  // and the engine finds a tab by its key (once: the tab is open again).
  std::wstring url;
  bool found = false, again = true, closedKept = true;
  face.onDrain = [this, &url, &found, &again, &closedKept] {
    if (!found) {
      std::wstring key;
      const std::string seen = ReadFile(options.profile + "/seen");
      key.assign(seen.begin() + static_cast<long>(seen.rfind(' ') + 1), seen.end());
      found = settings.lookupRecoveredTab(key, &url);
      again = settings.lookupRecoveredTab(key, &url);
      closedKept = settings.lookupRecoveredTab(L"u-1", &url);
    }
  };
  WriteScript(
      "function OnStart()\n"
      "  local f = io.open(host.profile .. '/seen', 'w')\n"
      "  f:write(#host.session, ' ', host.session_selected, ' ', host.session[2].url, ' ', host.session[2].uuid)\n"
      "  f:close()\n"
      "  host.quit(0)\n"
      "end\n");
  trace.clear();
  EXPECT_EQ(0, RunSession(&messages)) << messages;
  const std::string seen = ReadFile(options.profile + "/seen");
  EXPECT_EQ(0u, seen.find("2 2 http://127.0.0.1/two.html ")) << seen;
  EXPECT_TRUE(found);
  EXPECT_FALSE(again);
  EXPECT_FALSE(closedKept) << "a tab closed by quitting is not in the closed list";
}

// A step that fails ends the run with status 1 and its message, and undoes exactly the
// steps before it.
struct FailureCase {
  const char* name;
  const char* message;
  Trace trace;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class BrowserSessionFailure : public BrowserSession, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(BrowserSessionFailure, UndoesWhatWasDone) {
  const FailureCase& failure = GetParam();
  const std::string name = failure.name;
  CProfileLock other;
  if (name == "EngineMissing") {
    unavailable = "Chromium was not found at /nowhere";
  } else if (name == "ProfileInUse") {
    ASSERT_EQ(0, mkdir(options.profile.c_str(), 0700));
    ASSERT_TRUE(other.Take(options.profile));
  } else if (name == "StoreCannotOpen") {
    ASSERT_EQ(0, mkdir(options.profile.c_str(), 0700));
    ASSERT_EQ(0, mkdir((options.profile + "/datastore.db").c_str(), 0700));
  } else if (name == "EngineFails") {
    engineFails = true;
  } else if (name == "FaceCannotInstall") {
    face.installError = "the widget classes could not be installed";
  } else if (name == "ScriptFails") {
    WriteScript("this is no Lua\n");
  }
  std::string messages;
  EXPECT_EQ(1, RunSession(&messages));
  EXPECT_EQ(0u, messages.find("uicontrol-shell: ")) << messages;
  EXPECT_NE(std::string::npos, messages.find(failure.message)) << messages;
  EXPECT_EQ(failure.trace, trace);
  // The open tabs live in the store: no file of their own.
  EXPECT_NE(0, access((options.profile + "/session").c_str(), F_OK));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BrowserSessionFailure,
    ::testing::Values(
        FailureCase{"EngineMissing", "Chromium was not found at /nowhere", {"check"}},
        FailureCase{"ProfileInUse", "is in use by another uicontrol-shell", {"check"}},
        FailureCase{"StoreCannotOpen", "the data store could not be opened in", {"check"}},
        FailureCase{"EngineFails", "the page engine could not be created", {"check", "window", "engine", "views"}},
        FailureCase{"FaceCannotInstall",
                    "the widget classes could not be installed",
                    {"check", "window", "engine", "install", "uninstall", "drain", "views"}},
        FailureCase{"ScriptFails", "", {"check", "window", "engine", "install", "uninstall", "drain", "drain", "views"}}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
