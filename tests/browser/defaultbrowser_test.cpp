// The library's default-browser check and its "make default" side on xdg-settings, in a
// home of the test's own (HOME and the XDG folders in a temporary folder, no desktop
// environment): the check says yes only while xdg-settings names the browser's desktop
// file, sadb.exe makes it the default, and without xdg-settings the check says no and
// the log says why.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/defaultbrowser.h"
#include "logging/logging.h"
#include "platform/mutex.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "uicontrol/tabmanager.h"

namespace {

const char kOther[] = "other-browser.desktop";

// A home with two browsers' desktop files and nothing of the machine's.
class TestHome {
 public:
  TestHome() : m_folder(::testing::TempDir() + "default-browser-" + std::to_string(getpid())) {
    std::system(("rm -rf '" + m_folder + "'").c_str());
    const std::string apps = m_folder + "/data/applications";
    std::system(("mkdir -p '" + apps + "' '" + m_folder + "/config' '" + m_folder + "/empty'").c_str());
    for (const char* file : {kBrowserDesktopFile, kOther}) {
      // xdg-settings accepts only a desktop file whose program exists, and adds the types
      // it misses (waiting seconds after each).
      std::ofstream(apps + "/" + file) << "[Desktop Entry]\nType=Application\nName=" << file
                                       << "\nExec=/bin/true %U\nMimeType=text/html;x-scheme-handler/http;"
                                          "x-scheme-handler/https;x-scheme-handler/about;x-scheme-handler/unknown;\n";
    }
    Set("HOME", m_folder);
    Set("XDG_DATA_HOME", m_folder + "/data");
    Set("XDG_CONFIG_HOME", m_folder + "/config");
    Set("XDG_DATA_DIRS", m_folder + "/empty");
    Set("XDG_CONFIG_DIRS", m_folder + "/empty");
    // No session bus either: xdg-settings would ask it for a desktop session.
    Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_folder + "/no-bus");
    for (const char* name : {"BROWSER", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID"})
      Set(name, "");
  }
  ~TestHome() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
      if (it->had) setenv(it->name.c_str(), it->value.c_str(), 1);
      else unsetenv(it->name.c_str());
    }
    std::system(("rm -rf '" + m_folder + "'").c_str());
  }
  // Sets a variable for this test (empty: unset), the old value back at the end.
  void Set(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    m_saved.push_back({name, old ? old : "", old != nullptr});
    if (value.empty()) unsetenv(name.c_str());
    else setenv(name.c_str(), value.c_str(), 1);
  }
  const std::string& Folder() const { return m_folder; }

 private:
  struct Saved {
    std::string name, value;
    bool had;
  };
  std::string m_folder;
  std::vector<Saved> m_saved;
};

// The library's log lines while it lives.
class LogLines {
 public:
  LogLines() {
    logging::SetMessageHook([this](int, const char*, int, size_t, const std::string& text) {
      platform::CMutexLock lock(m_mutex);
      m_text += text;
      return true;
    });
  }
  ~LogLines() { logging::SetMessageHook(nullptr); }
  std::string Text() {
    platform::CMutexLock lock(m_mutex);
    return m_text;
  }

 private:
  platform::CMutex m_mutex;
  std::string m_text GUARDED_BY(m_mutex);
};

bool Eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

struct DefaultCase {
  const char* name;
  const char* chosen;   // what xdg-settings is set to first (nullptr: nothing)
  bool makeDefault;     // then SetDefaultBrowser(true), which starts sadb.exe
  bool withoutXdg;      // PATH without xdg-settings
  bool isDefault;       // what the check answers in the end
};
void PrintTo(const DefaultCase& c, std::ostream* out) { *out << c.name; }

class DefaultBrowser : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(DefaultBrowser, TheCheckAnswersFromXdgSettings) {
  if (std::system("command -v xdg-settings >/dev/null") != 0) GTEST_SKIP() << "needs xdg-utils";
  const DefaultCase& c = GetParam();
  TestHome home;
  LogLines log;
  CTabManager& tm = CTabManager::Instance();
  platform::SetWindowsMajorVersion(6);
  InstallDefaultBrowserKey();
  if (c.chosen) {
    std::string error;
    ASSERT_TRUE(MakeDefaultBrowser(c.chosen, &error)) << error;
  }
  if (c.withoutXdg) home.Set("PATH", home.Folder() + "/empty");
  if (c.makeDefault) {
    // The library starts sadb.exe from the program's folder.
    const std::string sadb = SADB_PROGRAM;
    platform::SetModuleFileNameForTest(platform::Utf8ToWide(sadb.substr(0, sadb.rfind('/') + 1) + "uicontrol-browser"));
    EXPECT_FALSE(tm.IsDefaultBrowser());
    tm.SetDefaultBrowser(true);
    EXPECT_TRUE(Eventually([&] { return tm.IsDefaultBrowser(); }));
    platform::SetModuleFileNameForTest(L"");
  }
  EXPECT_EQ(tm.IsDefaultBrowser(), c.isDefault);
  const bool unknownLogged = log.Text().find("default browser: unknown (xdg-settings is not installed)") != std::string::npos;
  EXPECT_EQ(unknownLogged, c.withoutXdg) << log.Text();
  platform::RegistrySetKeySource(HKEY_CURRENT_USER,
                                 L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice",
                                 nullptr);
  EXPECT_FALSE(tm.IsDefaultBrowser()) << "without the source the key is the registry's again";
}

INSTANTIATE_TEST_SUITE_P(
    Choices, DefaultBrowser,
    ::testing::Values(DefaultCase{"Ours", kBrowserDesktopFile, false, false, true},
                      DefaultCase{"Another", kOther, false, false, false},
                      DefaultCase{"MadeDefaultBySadb", kOther, true, false, true},
                      DefaultCase{"NoXdgSettings", kBrowserDesktopFile, false, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// sadb.exe's command line: only "set" and "unset"; "unset" is refused (xdg-settings has
// no way back) and changes nothing.
TEST(Sadb, TakesSetAndRefusesEverythingElse) {
  if (std::system("command -v xdg-settings >/dev/null") != 0) GTEST_SKIP() << "needs xdg-utils";
  TestHome home;
  std::string error, chosen;
  ASSERT_TRUE(MakeDefaultBrowser(kOther, &error)) << error;
  const std::string sadb = std::string("'") + SADB_PROGRAM + "' ";
  for (const auto& run : std::vector<std::pair<std::string, int>>{
           {"", 2}, {"sets", 2}, {"set extra", 2}, {"unset", 1}}) {
    const int status = std::system((sadb + run.first + " 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(status), run.second) << run.first;
    ASSERT_TRUE(QueryDefaultBrowser(&chosen, &error)) << error;
    EXPECT_EQ(chosen, kOther) << run.first;
  }
  EXPECT_EQ(WEXITSTATUS(std::system((sadb + "set").c_str())), 0);
  ASSERT_TRUE(QueryDefaultBrowser(&chosen, &error)) << error;
  EXPECT_EQ(chosen, kBrowserDesktopFile);
}

}  // namespace
