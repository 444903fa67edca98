// Other programs talking to a running shell: uicontrol-remote opens, lists, navigates
// and closes its tabs, a second uicontrol-shell with an address hands it over and ends,
// and bad clients leave the shell working.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "e2e/ptysession.h"

namespace {

using Clock = std::chrono::steady_clock;

bool HaveChromium() { return access("/usr/bin/chromium", X_OK) == 0; }

std::string TempProfile(const char* name) {
  std::string dir = ::testing::TempDir() + name + std::to_string(getpid());
  EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
  return dir;
}

// Runs a command line; its exit status and output (standard output and error).
int RunCommand(const std::string& command, std::string* output) {
  output->clear();
  FILE* pipe = popen((command + " </dev/null 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Remote {
 public:
  explicit Remote(std::string profile) : m_profile(std::move(profile)) {}
  int operator()(const std::string& args, std::string* output) const {
    return RunCommand(std::string(REMOTE_PROGRAM) + " --profile '" + m_profile + "' " + args, output);
  }
  // Asks again until `args` answers with a text that holds `text` (a generous deadline).
  bool WaitFor(const std::string& args, const std::string& text, std::string* last) const {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
      if ((*this)(args, last) == 0 && last->find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

 private:
  std::string m_profile;
};

// The id of the tab whose address ends with `page` in a list answer (0: none).
int TabId(const std::string& list, const std::string& page) {
  const nlohmann::json answer = nlohmann::json::parse(list, nullptr, false);
  if (!answer.is_object() || !answer.contains("tabs")) return 0;
  for (const auto& tab : answer["tabs"]) {
    const std::string url = tab.value("url", "");
    if (url.size() >= page.size() && url.compare(url.size() - page.size(), page.size(), page) == 0)
      return tab.value("id", 0);
  }
  return 0;
}

// Sends `data` on a connection of its own and gives what came back before the close.
// With no data the client connects and stays silent until the browser closes on it.
std::string RawExchange(const std::string& profile, const std::string& data) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s/control.sock", profile.c_str());
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return "(no connection)";
  }
  timeval timeout{60, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  if (!data.empty()) shutdown(fd, SHUT_WR);  // an empty one says nothing and waits
  std::string all;
  char buffer[4096];
  ssize_t n;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) all.append(buffer, static_cast<size_t>(n));
  close(fd);
  return all;
}

}  // namespace

TEST(RemoteShell, OtherProgramsDriveTheRunningShell) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string profile = TempProfile("remote_shell_");
  const Remote remote(profile);
  std::string out;
  EXPECT_EQ(remote("version", &out), 2) << "no browser yet: " << out;

  ptytest::PtySession shell(SHELL_PROGRAM, {"--profile", profile, "--serve", PAGES_DIR});
  ASSERT_TRUE(shell.WaitFor("uicontrol start page")) << shell.Screen();
  ASSERT_TRUE(remote.WaitFor("version", "\"ok\":true,\"v\":1", &out)) << out;
  struct stat info;
  ASSERT_EQ(stat((profile + "/control.sock").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  // Open, list, navigate, close: each shows in the shell's own tab strip too.
  size_t mark = shell.Size();
  EXPECT_EQ(remote("open news.html", &out), 0) << out;
  EXPECT_NE(out.find("\"ok\":true"), std::string::npos) << out;
  ASSERT_TRUE(shell.WaitFor("Local news", mark)) << shell.Screen();
  ASSERT_TRUE(remote.WaitFor("list", "\"title\":\"Local news\"", &out)) << out;
  const int news = TabId(out, "news.html");
  ASSERT_NE(news, 0) << out;
  EXPECT_EQ(remote("navigate " + std::to_string(news) + " weather.html", &out), 0) << out;
  ASSERT_TRUE(remote.WaitFor("list", "\"title\":\"Weather\"", &out)) << out;
  EXPECT_EQ(TabId(out, "weather.html"), news) << out;
  EXPECT_EQ(remote("close " + std::to_string(news), &out), 0) << out;
  EXPECT_EQ(remote("list", &out), 0);
  EXPECT_EQ(TabId(out, "weather.html"), 0) << out;
  EXPECT_EQ(remote("close " + std::to_string(news), &out), 1) << out;
  EXPECT_NE(out.find("no tab"), std::string::npos) << out;
  EXPECT_EQ(remote("--json '{\"v\":1,\"cmd\":\"open\",\"url\":\"notes.html\",\"background\":true}'", &out), 0) << out;
  ASSERT_TRUE(remote.WaitFor("list", "notes.html\"", &out)) << out;
  EXPECT_NE(out.find("{\"current\":false,\"id\":" + std::to_string(TabId(out, "notes.html"))), std::string::npos)
      << "a background tab leaves the current one: " << out;

  // Bad clients: each gets an error or a closed connection, and nobody waits for them.
  std::string silentGot = "(not closed)";
  std::thread silent([&profile, &silentGot] { silentGot = RawExchange(profile, ""); });
  EXPECT_NE(RawExchange(profile, std::string(10 * 1024 * 1024, '{')).find("longer than"), std::string::npos);
  const std::string answers = RawExchange(profile, "not json\n{\"v\":9,\"cmd\":\"list\"}\n{\"v\":1,\"cmd\":\"rm\"}\n");
  EXPECT_NE(answers.find("not JSON"), std::string::npos) << answers;
  EXPECT_NE(answers.find("unsupported protocol version 9"), std::string::npos) << answers;
  EXPECT_NE(answers.find("unknown command"), std::string::npos) << answers;
  EXPECT_EQ(remote("--json '[]'", &out), 1) << out;
  EXPECT_EQ(remote("frobnicate", &out), 1) << out;

  // A second shell with an address hands it to the first and ends at once.
  const auto began = Clock::now();
  EXPECT_EQ(RunCommand(std::string(SHELL_PROGRAM) + " --profile '" + profile + "' search.html", &out), 0) << out;
  EXPECT_LT(Clock::now() - began, std::chrono::seconds(20));
  ASSERT_TRUE(remote.WaitFor("list", "search.html\"", &out)) << out;
  silent.join();
  EXPECT_EQ(silentGot, "") << "a silent client is closed on";

  // The shell still answers its user, and quits as ever, taking its socket along.
  mark = shell.Size();
  shell.Type("open weather.html\n");
  ASSERT_TRUE(shell.WaitFor("Weather", mark)) << shell.Screen();
  shell.Type("quit\n");
  EXPECT_EQ(shell.Wait(), 0);
  EXPECT_NE(stat((profile + "/control.sock").c_str(), &info), 0);
  EXPECT_EQ(remote("list", &out), 2) << out;
}

TEST(RemoteShell, AddressesOfTheCommandLineOpenAtStart) {
  if (!HaveChromium()) GTEST_SKIP() << "Chromium is not installed";
  const std::string profile = TempProfile("remote_start_");
  ptytest::PtySession shell(SHELL_PROGRAM, {"--profile", profile, "--serve", PAGES_DIR, "news.html", "notes.html"});
  ASSERT_TRUE(shell.WaitFor("Local news")) << shell.Screen();
  std::string out;
  ASSERT_TRUE(Remote(profile).WaitFor("list", "notes.html\"", &out)) << out;
  shell.Type("quit\n");
  EXPECT_EQ(shell.Wait(), 0);
}
