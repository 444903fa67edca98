// The page tests' server: fixed answers per path, answers held back until the stop, and
// a stop that does not wait for connections a browser left idle.
#include "webpage/httpserver.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

int Connect(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  // A server that never closes fails the test instead of stalling it.
  timeval limit{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends a GET and reads until the server closes; the whole answer.
std::string Fetch(uint16_t port, const std::string& target) {
  int fd = Connect(port);
  if (fd < 0) return "";
  const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buffer[4096];
  ssize_t n;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<size_t>(n));
  close(fd);
  return answer;
}

}  // namespace

TEST(HttpServer, AnswersPerPathAndCountsTheRequests) {
  webtest::CHttpServer server;
  server.Html("/page", "<p>page</p>");
  server.Route("/missing", webtest::HttpAnswer{500, "text/plain", "broken", false});
  std::string page = Fetch(server.Port(), "/page?x=1");
  EXPECT_EQ(0u, page.rfind("HTTP/1.1 200", 0)) << page;
  EXPECT_NE(std::string::npos, page.find("Content-Type: text/html; charset=utf-8\r\n")) << page;
  EXPECT_NE(std::string::npos, page.find("Cache-Control: no-store\r\n")) << page;
  EXPECT_NE(std::string::npos, page.find("\r\n\r\n<p>page</p>")) << page;
  EXPECT_EQ(0u, Fetch(server.Port(), "/missing").rfind("HTTP/1.1 500", 0));
  EXPECT_EQ(0u, Fetch(server.Port(), "/unknown").rfind("HTTP/1.1 404", 0));
  EXPECT_EQ(1, server.Hits("/page?x=1"));
  EXPECT_EQ(0, server.Hits("/page"));
  EXPECT_EQ(1, server.Hits("/unknown"));
}

TEST(HttpServer, AHeldAnswerIsNeverSentAndTheStopWaitsForNoIdleConnection) {
  auto server = std::make_unique<webtest::CHttpServer>();
  server->Route("/hang", webtest::HttpAnswer{200, "text/html", "held", true});
  const uint16_t port = server->Port();
  std::string held = "unset";
  std::thread client([&] { held = Fetch(port, "/hang"); });
  std::vector<int> idle;
  for (int i = 0; i < 8; ++i) idle.push_back(Connect(port));
  // Once the held request has arrived, the stop comes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (server->Hits("/hang") == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(1, server->Hits("/hang"));
  const auto begin = std::chrono::steady_clock::now();
  server.reset();
  // The server waits 5 s for a request on a connection: a stop that waited would show.
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
  client.join();
  EXPECT_EQ("", held) << "the connection closes without an answer";
  for (int fd : idle) {
    char byte;
    errno = 0;
    EXPECT_TRUE(recv(fd, &byte, 1, 0) == 0 || errno == ECONNRESET) << "closed or refused, not left open";
    close(fd);
  }
}
