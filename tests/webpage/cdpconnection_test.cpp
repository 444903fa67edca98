// The DevTools connection against a peer played by the test over a socket pair.
#include "components/webpage/cdpconnection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "components/webpage/cdpframing.h"
#include "components/webpage/engineloop.h"
#include "webpage/testsink.h"

namespace webpage {
namespace {

using namespace std::chrono_literals;

// The test's side of the pipe: reads commands, writes replies and events.
class FakeChromium {
 public:
  explicit FakeChromium(int fd) : m_fd(fd) {}
  ~FakeChromium() { Close(); }

  Json ReadCommand() {
    std::string message;
    char buffer[4096];
    while (!m_decoder.Next(&message)) {
      ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
      if (n <= 0) return Json();
      m_decoder.Append(buffer, static_cast<size_t>(n));
    }
    return Json::parse(message);
  }
  void Write(const std::string& text) {
    std::string frame = EncodeCdpFrame(text);
    ASSERT_EQ(static_cast<ssize_t>(frame.size()), ::send(m_fd, frame.data(), frame.size(), MSG_NOSIGNAL));
  }
  void Reply(const Json& command, Json result) { Write(Json{{"id", command["id"]}, {"result", result}}.dump()); }
  void Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

 private:
  int m_fd;
  CCdpFrameDecoder m_decoder;
};

class WebpageCdpConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int pair[2];
    ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair));
    m_peer = std::make_unique<FakeChromium>(pair[1]);
    CCdpConnection::Handlers handlers;
    handlers.onEvent = [this](Json&& event) {
      auto shared = std::make_shared<Json>(std::move(event));
      m_loop.Post([this, shared] { Record("event " + (*shared)["method"].get<std::string>()); });
    };
    handlers.onClosed = [this] { m_closed.Set(); };
    handlers.post = [this](std::function<void()> task) { m_loop.Post(std::move(task)); };
    m_connection = CCdpConnection::Open(pair[0], std::move(handlers));
    ASSERT_TRUE(m_connection);
  }

  void TearDown() override {
    if (m_connection) m_connection->Close();
    m_loop.Stop();
  }

  void Record(const std::string& what) {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_seen.push_back(what);
    }
    m_changed.notify_all();
  }

  bool WaitSeen(size_t count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, 30s, [&] { return m_seen.size() >= count; });
  }

  CEngineLoop m_loop;
  std::unique_ptr<FakeChromium> m_peer;
  std::shared_ptr<CCdpConnection> m_connection;
  webtest::CSignal m_closed;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::string> m_seen;
};

TEST_F(WebpageCdpConnectionTest, CallWaitsForItsOwnReply) {
  std::thread peer([this] {
    Json command = m_peer->ReadCommand();
    EXPECT_EQ("Target.createTarget", command["method"]);
    EXPECT_EQ("about:blank", command["params"]["url"]);
    EXPECT_FALSE(command.contains("sessionId"));
    m_peer->Write(R"({"id": 999, "result": {}})");  // a reply nobody waits for
    m_peer->Reply(command, Json{{"targetId", "T1"}});
  });
  Json reply;
  ASSERT_TRUE(m_connection->Call("Target.createTarget", Json{{"url", "about:blank"}}, "", 30s, &reply));
  EXPECT_EQ("T1", reply["result"]["targetId"]);
  peer.join();
}

TEST_F(WebpageCdpConnectionTest, RepliesWithIdsOutOfRangeAnswerNothing) {
  webtest::CLogCapture log;
  std::thread peer([this] {
    Json command = m_peer->ReadCommand();
    ASSERT_TRUE(command["id"].is_number_integer());
    long long id = command["id"].get<long long>();
    // Ids that wrap around onto ours in 32 bits, or cannot be integers at all.
    m_peer->Write(R"({"id": )" + std::to_string(id + 4294967296LL) + R"(, "result": {"from": "wrapped"}})");
    m_peer->Write(R"({"id": )" + std::to_string(id - 4294967296LL) + R"(, "result": {"from": "negative"}})");
    m_peer->Write(R"({"id": 1e300, "result": {"from": "huge"}})");
    m_peer->Write(R"({"id": -1e300, "result": {"from": "huge"}})");
    m_peer->Write(R"({"id": 18446744073709551615, "result": {"from": "unsigned"}})");
    m_peer->Write(R"({"id": )" + std::to_string(id) + R"(.5, "result": {"from": "fraction"}})");
    m_peer->Reply(command, Json{{"from", "chromium"}});
  });
  Json reply;
  ASSERT_TRUE(m_connection->Call("A.call", Json::object(), "", 30s, &reply));
  EXPECT_EQ("chromium", reply["result"]["from"]);
  peer.join();
  EXPECT_TRUE(log.Contains("a reply from Chromium with an unusable id was dropped"));
  EXPECT_TRUE(m_connection->IsOpen());
}

TEST_F(WebpageCdpConnectionTest, RepliesAndEventsReachTheLoopInTheOrderSent) {
  std::thread peer([this] {
    Json first = m_peer->ReadCommand();
    Json second = m_peer->ReadCommand();
    EXPECT_EQ("S1", second["sessionId"]);
    m_peer->Write(R"({"method": "Page.frameNavigated", "params": {}, "sessionId": "S1"})");
    m_peer->Reply(second, Json::object());
    m_peer->Write("not json at all");
    m_peer->Write(R"({"method": "Page.loadEventFired", "params": {}})");
    m_peer->Write(Json{{"id", first["id"]}, {"error", {{"code", -32000}, {"message", "no such thing"}}}}.dump());
  });
  m_connection->Send("A.first", Json::object(), "", [this](const Json& reply) {
    std::string message;
    Record(CCdpConnection::IsError(reply, &message) ? "error " + message : "reply first");
  });
  m_connection->Send("A.second", Json::object(), "S1", [this](const Json&) { Record("reply second"); });
  ASSERT_TRUE(WaitSeen(4));
  std::lock_guard<std::mutex> guard(m_mutex);
  EXPECT_EQ((std::vector<std::string>{"event Page.frameNavigated", "reply second", "event Page.loadEventFired",
                                      "error no such thing"}),
            m_seen);
  peer.join();
}

TEST_F(WebpageCdpConnectionTest, PeerClosingFailsWaitingCallsAndCallbacks) {
  std::thread peer([this] {
    m_peer->ReadCommand();
    m_peer->ReadCommand();
    m_peer->Close();
  });
  m_connection->Send("A.pending", Json::object(), "", [this](const Json& reply) {
    std::string message;
    Record(CCdpConnection::IsError(reply, &message) ? "failed: " + message : "answered");
  });
  Json reply;
  EXPECT_FALSE(m_connection->Call("A.call", Json::object(), "", 30s, &reply));
  std::string message;
  EXPECT_TRUE(CCdpConnection::IsError(reply, &message));
  EXPECT_EQ("Chromium closed the connection", message);
  EXPECT_TRUE(m_closed.Wait());
  ASSERT_TRUE(WaitSeen(1));
  EXPECT_EQ("failed: Chromium closed the connection", m_seen[0]);
  EXPECT_FALSE(m_connection->IsOpen());
  EXPECT_EQ(0, m_connection->Send("A.late", Json::object(), "", nullptr));
  EXPECT_FALSE(m_connection->Call("A.late", Json::object(), "", 1s, &reply));
  peer.join();
}

TEST_F(WebpageCdpConnectionTest, CallGivesUpAfterItsTimeoutAndALateReplyIsIgnored) {
  Json reply;
  EXPECT_FALSE(m_connection->Call("A.slow", Json::object(), "", 50ms, &reply));
  std::string message;
  ASSERT_TRUE(CCdpConnection::IsError(reply, &message));
  EXPECT_EQ("A.slow timed out", message);
  Json command = m_peer->ReadCommand();
  m_peer->Reply(command, Json::object());
  // The connection still works.
  std::thread peer([this] { m_peer->Reply(m_peer->ReadCommand(), Json{{"ok", true}}); });
  EXPECT_TRUE(m_connection->Call("A.next", Json::object(), "", 30s, &reply));
  EXPECT_EQ(true, reply["result"]["ok"]);
  peer.join();
}

TEST_F(WebpageCdpConnectionTest, CloseEndsTheReaderAndIsHeardByThePeer) {
  m_connection->Close();
  EXPECT_TRUE(m_closed.Wait());
  EXPECT_TRUE(m_peer->ReadCommand().is_null());
}

TEST_F(WebpageCdpConnectionTest, ConcurrentCallersEachGetTheirReply) {
  std::thread peer([this] {
    for (int i = 0; i < 40; ++i) {
      Json command = m_peer->ReadCommand();
      m_peer->Reply(command, Json{{"echo", command["params"]["n"]}});
    }
  });
  std::vector<std::thread> callers;
  std::atomic<int> right{0};
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) {
        Json reply;
        int n = t * 100 + i;
        if (m_connection->Call("Echo", Json{{"n", n}}, "", 30s, &reply) && reply["result"]["echo"] == n) ++right;
      }
    });
  }
  for (auto& caller : callers) caller.join();
  peer.join();
  EXPECT_EQ(40, right.load());
}

}  // namespace
}  // namespace webpage
