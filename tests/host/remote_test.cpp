// The remote command interface without a browser: the protocol's reading of requests, the
// server's limits and its socket in the profile, and the Lua hook's answers.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/luashell.h"
#include "host/remoteclient.h"
#include "host/remoteprotocol.h"
#include "host/remoteserver.h"
#include "platform/mutex.h"

namespace {

struct LineCase {
  const char* line;
  RemoteParse::Kind kind;
  const char* expected;  // a part of the answer, or of the forwarded request
};

void PrintTo(const LineCase& c, std::ostream* out) { *out << c.line; }

class RemoteLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(RemoteLine, IsAnsweredOrForwardedChecked) {
  const LineCase& c = GetParam();
  const RemoteParse parsed = ParseRemoteLine(c.line);
  EXPECT_EQ(parsed.kind, c.kind) << parsed.text;
  EXPECT_NE(parsed.text.find(c.expected), std::string::npos) << parsed.text;
  // An answer says ok and, when not, why; a forwarded request carries only checked fields.
  if (parsed.kind == RemoteParse::Answer && !RemoteAnswerOk(parsed.text)) {
    EXPECT_NE(parsed.text.find("\"error\":"), std::string::npos);
  }
  EXPECT_EQ(parsed.text.find("extra"), std::string::npos);
  EXPECT_EQ(parsed.text.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RemoteLine,
    ::testing::Values(
        LineCase{R"({"v":1,"cmd":"version"})", RemoteParse::Answer, R"("ok":true,"v":1,"version":)"},
        LineCase{R"({"v":1,"cmd":"list","extra":1})", RemoteParse::Forward, R"({"cmd":"list","v":1})"},
        LineCase{R"({"v":1,"cmd":"open","url":"a\u00e9\n"})", RemoteParse::Forward, R"("url":"a\u00e9\n")"},
        LineCase{R"({"v":1,"cmd":"open","url":"x","background":true})", RemoteParse::Forward, R"("background":true)"},
        LineCase{R"({"v":1,"cmd":"open","url":"x","background":"yes"})", RemoteParse::Answer, "true or false"},
        LineCase{R"({"v":1,"cmd":"open","url":""})", RemoteParse::Answer, "needs a url"},
        LineCase{R"({"v":1,"cmd":"navigate","id":3,"url":"x"})", RemoteParse::Forward, R"("id":3)"},
        LineCase{R"({"v":1,"cmd":"navigate","id":3})", RemoteParse::Answer, "needs a tab id and a url"},
        LineCase{R"({"v":1,"cmd":"close","id":0})", RemoteParse::Answer, "needs a tab id"},
        LineCase{R"({"v":1,"cmd":"close","id":1.5})", RemoteParse::Answer, "needs a tab id"},
        LineCase{R"({"v":1,"cmd":"close","id":99999999999})", RemoteParse::Answer, "needs a tab id"},
        LineCase{R"({"v":1,"cmd":"close","id":"2"})", RemoteParse::Answer, "needs a tab id"},
        LineCase{R"({"v":1,"cmd":"reboot"})", RemoteParse::Answer, R"(unknown command \"reboot\")"},
        LineCase{R"({"v":2,"cmd":"list"})", RemoteParse::Answer, "unsupported protocol version 2"},
        LineCase{R"({"v":"1","cmd":"list"})", RemoteParse::Answer, "no protocol version"},
        LineCase{R"({"cmd":"list"})", RemoteParse::Answer, "no protocol version"},
        LineCase{R"({"v":1})", RemoteParse::Answer, "no command"},
        LineCase{R"([{"v":1,"cmd":"list"}])", RemoteParse::Answer, "not a JSON object"},
        LineCase{"{\"v\":1,\"cmd\":\"open\",\"url\":\"\xff\"}", RemoteParse::Answer, "not JSON"},
        LineCase{"list", RemoteParse::Answer, "not JSON"}));

TEST(RemoteProtocol, CommandWordsMakeRequests) {
  auto words = [](std::vector<const char*> list, std::string* error) {
    return RemoteRequestFromWords(static_cast<int>(list.size()), const_cast<char**>(list.data()), error);
  };
  std::string error;
  for (auto list : std::vector<std::vector<const char*>>{
           {"version"}, {"list"}, {"open", "http://a/"}, {"close", "4"}, {"navigate", "4", "b"}}) {
    const std::string line = words(list, &error);
    EXPECT_EQ(ParseRemoteLine(line).kind == RemoteParse::Forward, std::string(list[0]) != "version") << line;
  }
  for (auto list : std::vector<std::vector<const char*>>{
           {}, {"open"}, {"close", "x"}, {"close", "-1"}, {"navigate", "4"}, {"list", "more"}, {"bogus"}}) {
    error.clear();
    EXPECT_EQ(words(list, &error), "");
    EXPECT_FALSE(error.empty());
  }
  EXPECT_NE(ParseRemoteLine(std::string(kRemoteMaxLine + 1, ' ')).text.find("longer than"), std::string::npos);
}

// A profile folder with a server on its socket; the requests it forwards wait in
// `forwarded` until the test answers them.
class RemoteServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/remote_test_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    m_profile = dir;
  }
  void TearDown() override {
    m_server.reset();
    std::remove(RemoteSocketPath(m_profile).c_str());
    rmdir(m_profile.c_str());
  }

  bool Start(CRemoteServer::Limits limits = {}) {
    m_server = std::make_unique<CRemoteServer>(limits, [this](unsigned int token, const std::string& request) {
      platform::CMutexLock lock(m_mutex);
      m_forwarded.emplace_back(token, request);
      m_arrived.NotifyAll();
    });
    std::string error;
    const bool started = m_server->Start(RemoteSocketPath(m_profile), &error);
    EXPECT_TRUE(started) << error;
    return started;
  }

  std::pair<unsigned int, std::string> NextForwarded() {
    platform::CMutexLock lock(m_mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (m_forwarded.empty())
      if (!m_arrived.WaitUntil(lock, deadline)) return {0, ""};
    auto next = m_forwarded.front();
    m_forwarded.pop_front();
    return next;
  }

  int Connect() {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = RemoteSocketPath(m_profile);
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
  }

  // Everything the server sends until it closes the connection (a generous deadline).
  static std::string ReadToEnd(int fd) {
    timeval timeout{30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string all;
    char buffer[4096];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) all.append(buffer, static_cast<size_t>(n));
    close(fd);
    return all;
  }

  std::string m_profile;
  std::unique_ptr<CRemoteServer> m_server;
  platform::CMutex m_mutex;
  platform::CCondition m_arrived;
  std::deque<std::pair<unsigned int, std::string>> m_forwarded GUARDED_BY(m_mutex);
};

TEST_F(RemoteServerTest, AnswersInOrderAndOnlyItsOwnClient) {
  ASSERT_TRUE(Start());
  struct stat info;
  ASSERT_EQ(stat(RemoteSocketPath(m_profile).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(info.st_uid, getuid());

  // Lines sent together are answered in their order, the forwarded one when the
  // interface answers it; a bad line between them leaves the connection working.
  const int fd = Connect();
  const std::string lines = "{\"v\":1,\"cmd\":\"list\"}\r\nnonsense\n\n{\"v\":1,\"cmd\":\"version\"}";
  ASSERT_EQ(send(fd, lines.data(), lines.size(), 0), static_cast<ssize_t>(lines.size()));
  shutdown(fd, SHUT_WR);
  const auto first = NextForwarded();
  EXPECT_EQ(first.second, R"({"cmd":"list","v":1})");
  m_server->Answer(first.first + 1000, R"({"ok":true,"stray":1})");  // nobody's: dropped
  m_server->Answer(first.first, R"({"ok":true,"tabs":[]})");
  const std::string all = ReadToEnd(fd);
  EXPECT_EQ(all.find(R"({"ok":true,"tabs":[]})"), 0u) << all;
  EXPECT_LT(all.find("not JSON"), all.find("\"version\"")) << all;
  EXPECT_EQ(all.find("stray"), std::string::npos);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 3);

  // The client's own round trip, and no browser once the server went.
  std::string answer, error;
  EXPECT_EQ(SendRemoteLine(m_profile, R"({"v":1,"cmd":"version"})", &answer, &error), RemoteResult::Answered);
  EXPECT_TRUE(RemoteAnswerOk(answer)) << answer;
  m_server.reset();
  EXPECT_NE(stat(RemoteSocketPath(m_profile).c_str(), &info), 0) << "the socket goes with the server";
  EXPECT_EQ(SendRemoteLine(m_profile, R"({"v":1,"cmd":"version"})", &answer, &error), RemoteResult::NoBrowser);
}

TEST_F(RemoteServerTest, BadClientsAreCutOffWithoutHoldingUpOthers) {
  CRemoteServer::Limits limits;
  limits.maxClients = 4;
  limits.idle = std::chrono::milliseconds(300);
  limits.command = std::chrono::milliseconds(300);
  ASSERT_TRUE(Start(limits));
  const auto began = std::chrono::steady_clock::now();
  const int silent = Connect();

  // A line over the limit (sent by a thread: the server stops reading it) is refused
  // and its connection closed.
  const int flood = Connect();
  std::thread sender([flood] {
    const std::string big(10 * 1024 * 1024, 'x');
    ssize_t n = send(flood, big.data(), big.size(), MSG_NOSIGNAL);
    (void)n;
  });
  // Many short bad lines from a client that never reads the answers: it is read no
  // more once its answers pile up, and closed as a silent one.
  const int deaf = Connect();
  std::thread deafSender([deaf] {
    std::string many;
    for (int i = 0; i < 1024 * 1024; ++i) many += "x\n";
    ssize_t n = send(deaf, many.data(), many.size(), MSG_NOSIGNAL);
    EXPECT_LT(n, static_cast<ssize_t>(many.size())) << "the server read every line";
  });
  const int slow = Connect();  // a command the interface never answers
  const std::string list = "{\"v\":1,\"cmd\":\"list\"}\n";
  ASSERT_EQ(send(slow, list.data(), list.size(), 0), static_cast<ssize_t>(list.size()));
  ASSERT_NE(NextForwarded().first, 0u);

  // Past the limit of connections: an error answer and a close.
  const int extra = Connect();
  EXPECT_NE(ReadToEnd(extra).find("too many connections"), std::string::npos);

  EXPECT_NE(ReadToEnd(flood).find("longer than 65536 bytes"), std::string::npos);
  sender.join();
  deafSender.join();
  close(deaf);
  EXPECT_NE(ReadToEnd(slow).find("did not answer in time"), std::string::npos);
  EXPECT_EQ(ReadToEnd(silent), "");
  EXPECT_GE(std::chrono::steady_clock::now() - began, limits.idle);

  // Once they went, a well-behaved client is served.
  std::string answer, error;
  EXPECT_EQ(SendRemoteLine(m_profile, R"({"v":1,"cmd":"version"})", &answer, &error), RemoteResult::Answered)
      << error;
}

TEST_F(RemoteServerTest, TheSocketOfAnotherInstanceOrAFileIsNeverTaken) {
  const std::string path = RemoteSocketPath(m_profile);
  // A socket left by an instance that ended is replaced.
  {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
  }
  ASSERT_TRUE(Start());
  // One that answers stays its owner's.
  CRemoteServer second(CRemoteServer::Limits{}, [](unsigned int, const std::string&) {});
  std::string error;
  EXPECT_FALSE(second.Start(path, &error));
  EXPECT_NE(error.find("another program answers"), std::string::npos) << error;
  std::string answer;
  EXPECT_EQ(SendRemoteLine(m_profile, R"({"v":1,"cmd":"version"})", &answer, &error), RemoteResult::Answered);
  m_server.reset();
  // A file that is not a socket is left alone.
  std::ofstream(path) << "mine";
  CRemoteServer third(CRemoteServer::Limits{}, [](unsigned int, const std::string&) {});
  EXPECT_FALSE(third.Start(path, &error));
  EXPECT_NE(error.find("not a socket"), std::string::npos) << error;
  EXPECT_FALSE(third.Start(m_profile + "/" + std::string(120, 'x'), &error));
  EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

TEST(RemoteLuaHook, AnswersAreTheTablesTheScriptReturns) {
  char path[] = "/tmp/remote_hook_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(path) << R"(
    function OnError() end
    function OnRemoteCommand(r)
      if r.cmd == "list" then return {ok = true, tabs = {{id = 1, title = "a\255", url = r.url}, {id = 2.5}}, none = {}} end
      if r.cmd == "fail" then error("broken") end
      if r.cmd == "odd" then return "not a table" end
      if r.cmd == "deep" then return {ok = true, a = {b = {c = {d = {e = 1}}}}} end
      return {ok = false}
    end)";
  CLuaShell shell;
  std::string error;
  ASSERT_TRUE(shell.RunScript(path, &error)) << error;
  std::remove(path);
  EXPECT_EQ(shell.CallRemote(R"({"cmd":"list","url":"u\u0000v"})"),
            R"({"none":[],"ok":true,"tabs":[{"id":1,"title":"a\ufffd","url":"u\u0000v"},{"id":2.5}]})");
  EXPECT_EQ(shell.CallRemote(R"({"cmd":"close"})"), R"({"error":"refused","ok":false})");
  EXPECT_EQ(shell.CallRemote(R"({"cmd":"deep"})"), R"({"a":{"b":{"c":{"d":null}}},"ok":true})");
  EXPECT_NE(shell.CallRemote(R"({"cmd":"fail"})").find("failed on the command"), std::string::npos);
  EXPECT_EQ(shell.ScriptErrors(), 1);
  EXPECT_NE(shell.CallRemote(R"({"cmd":"odd"})").find("gave no answer"), std::string::npos);
  CLuaShell bare;
  EXPECT_NE(bare.CallRemote(R"({"cmd":"list"})").find("takes no remote commands"), std::string::npos);
}

}  // namespace
