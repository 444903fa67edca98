// The shell's local server answers files inside its folder and nothing else, also when a
// symbolic link points elsewhere.
#include "host/localserver.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Answer {
  int status = 0;
  std::string head;  // the status line and the header lines
  std::string body;
};

// A connection to 127.0.0.1:port, or [::1]:port; -1 when it cannot be made.
int Connect(int port, bool ipv6 = false) {
  int fd = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_storage storage{};
  socklen_t length;
  if (ipv6) {
    auto* address = reinterpret_cast<sockaddr_in6*>(&storage);
    address->sin6_family = AF_INET6;
    address->sin6_addr = in6addr_loopback;
    address->sin6_port = htons(static_cast<uint16_t>(port));
    length = sizeof *address;
  } else {
    auto* address = reinterpret_cast<sockaddr_in*>(&storage);
    address->sin_family = AF_INET;
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address->sin_port = htons(static_cast<uint16_t>(port));
    length = sizeof *address;
  }
  // A server that never closes fails the test instead of stalling it.
  timeval limit{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (connect(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

size_t ThreadsOfThisProcess() {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    (void)entry;
    ++count;
  }
  return count;
}

// One request on a new connection; the status code and the body of the answer.
Answer Get(const std::string& base, const std::string& target, const std::string& method = "GET") {
  Answer answer;
  const bool ipv6 = base.find("[::1]") != std::string::npos;
  int fd = Connect(std::stoi(base.substr(base.rfind(':') + 1)), ipv6);
  if (fd < 0) return answer;
  std::string request = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string response;
  char buffer[4096];
  ssize_t n;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) response.append(buffer, static_cast<size_t>(n));
  close(fd);
  if (response.rfind("HTTP/1.1 ", 0) == 0) answer.status = std::atoi(response.c_str() + 9);
  size_t end = response.find("\r\n\r\n");
  if (end != std::string::npos) answer.body = response.substr(end + 4);
  answer.head = end == std::string::npos ? response : response.substr(0, end + 2);
  return answer;
}

class LocalServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/localserver-test-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_top = pattern;
    m_root = m_top + "/pages";
    m_outside = m_top + "/outside";
    std::filesystem::create_directories(m_root + "/sub");
    std::filesystem::create_directories(m_outside);
    Write(m_root + "/index.html", "<p>index</p>");
    Write(m_root + "/sub/page.html", "<p>sub page</p>");
    Write(m_outside + "/secret.txt", "secret");
    Write(m_top + "/beside.txt", "beside");
    std::string error;
    ASSERT_TRUE(m_server.Start(m_root, &error)) << error;
    m_base = m_server.BaseURL();
  }
  void TearDown() override {
    m_server.Stop();
    std::filesystem::remove_all(m_top);
  }
  static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

  std::string m_top, m_root, m_outside, m_base;
  CLocalServer m_server;
};

// An IPv6 loopback on this machine: a socket can be bound to [::1].
bool HasIPv6Loopback() {
  const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return bound;
}

TEST_F(LocalServerTest, ServesTheFilesOfItsFolder) {
  if (HasIPv6Loopback()) {
    const std::string v6 = "http://[::1]:" + std::to_string(m_server.Port()) + "/";
    EXPECT_EQ("<p>index</p>", Get(v6, "/").body) << "the same port on the IPv6 loopback";
  }
  EXPECT_EQ(200, Get(m_base, "/").status);
  EXPECT_EQ("<p>index</p>", Get(m_base, "/").body);
  EXPECT_EQ("<p>sub page</p>", Get(m_base, "/sub/page.html?x=1#y").body);
  Answer head = Get(m_base, "/index.html", "HEAD");
  EXPECT_EQ(200, head.status);
  EXPECT_EQ("", head.body);
  EXPECT_EQ(404, Get(m_base, "/missing.html").status);
  EXPECT_EQ(405, Get(m_base, "/", "POST").status);
}

TEST_F(LocalServerTest, AnswersCarryTheTypeOfTheFileAndCloseTheConnection) {
  Write(m_root + "/style.css", "p {}");
  Write(m_root + "/picture.png", "png");
  Write(m_root + "/data.bin", "bin");
  const std::pair<const char*, const char*> kCases[] = {{"/index.html", "text/html; charset=utf-8"},
                                                       {"/style.css", "text/css"},
                                                       {"/picture.png", "image/png"},
                                                       {"/data.bin", "application/octet-stream"}};
  for (const auto& c : kCases) {
    Answer answer = Get(m_base, c.first);
    EXPECT_EQ(200, answer.status) << c.first;
    EXPECT_NE(std::string::npos, answer.head.find(std::string("Content-Type: ") + c.second + "\r\n")) << answer.head;
    EXPECT_NE(std::string::npos, answer.head.find("Connection: close")) << answer.head;
    EXPECT_NE(std::string::npos, answer.head.find("Cache-Control: no-cache")) << answer.head;
  }
  // The length of a HEAD answer is the one of the file, without the file.
  Answer head = Get(m_base, "/index.html", "HEAD");
  EXPECT_NE(std::string::npos, head.head.find("Content-Length: 12")) << head.head;
  // %-escapes are decoded before the path is checked.
  EXPECT_EQ("<p>sub page</p>", Get(m_base, "/sub/page%2Ehtml").body);
  EXPECT_EQ(400, Get(m_base, "/%2E%2E/beside.txt").status);
}

TEST_F(LocalServerTest, IdleConnectionsTakeNoThreadOfTheirOwnAndDoNotDelayTheStop) {
  const size_t threads = ThreadsOfThisProcess();
  // Connections a browser opens ahead of need and never sends on, and one that stops
  // in the middle of its request.
  std::vector<int> idle;
  for (int i = 0; i < 12; ++i) idle.push_back(Connect(m_server.Port()));
  const std::string partial = "GET /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  send(idle.back(), partial.data(), partial.size(), MSG_NOSIGNAL);
  // Answered after all of them were taken in.
  EXPECT_EQ("<p>index</p>", Get(m_base, "/").body);
  EXPECT_LE(ThreadsOfThisProcess(), threads) << "a thread per connection";
  const auto begin = std::chrono::steady_clock::now();
  m_server.Stop();
  const auto took = std::chrono::steady_clock::now() - begin;
  // A stop that waited for the idle connections would take the server's idle limit (5 s).
  EXPECT_LT(took, std::chrono::seconds(3));
  for (int fd : idle) {
    char byte;
    errno = 0;
    EXPECT_TRUE(recv(fd, &byte, 1, 0) == 0 || errno == ECONNRESET) << "closed or refused, not left open";
    close(fd);
  }
}

TEST_F(LocalServerTest, APortAskedForIsKeptAndATakenOneMovesWithNotice) {
  // The fixture's server holds its port: a second server asking for it gets another.
  const int taken = m_server.Port();
  EXPECT_FALSE(m_server.PortMoved());
  CLocalServer second;
  std::string error;
  ASSERT_TRUE(second.Start(m_root, &error, taken)) << error;
  EXPECT_TRUE(second.PortMoved());
  EXPECT_NE(taken, second.Port());
  EXPECT_EQ("<p>index</p>", Get(second.BaseURL(), "/").body);
  // Once the port is free again (a connection of the old server may still wait to close)
  // the next start has it: the addresses of served pages stay the same.
  const int kept = second.Port();
  EXPECT_EQ("<p>index</p>", Get(second.BaseURL(), "/").body);
  second.Stop();
  CLocalServer third;
  ASSERT_TRUE(third.Start(m_root, &error, kept)) << error;
  EXPECT_FALSE(third.PortMoved());
  EXPECT_EQ(kept, third.Port());
  EXPECT_EQ("<p>index</p>", Get(third.BaseURL(), "/").body);
}

TEST_F(LocalServerTest, PathsThatLeaveTheFolderAreRefused) {
  EXPECT_EQ(400, Get(m_base, "/../beside.txt").status);
  EXPECT_EQ(400, Get(m_base, "/sub/../../beside.txt").status);
  EXPECT_EQ(400, Get(m_base, "/sub/..").status);
  EXPECT_EQ(400, Get(m_base, "index.html").status);
  EXPECT_EQ(400, Get(m_base, "/sub\\..\\..\\beside.txt").status);
  EXPECT_EQ(400, Get(m_base, std::string("/index.html\x01")).status);
  EXPECT_EQ(404, Get(m_base, "/sub").status) << "a folder is no file";
}

TEST_F(LocalServerTest, SymbolicLinksPointingOutsideAreRefused) {
  ASSERT_EQ(0, symlink((m_outside + "/secret.txt").c_str(), (m_root + "/secret.txt").c_str()));
  ASSERT_EQ(0, symlink(m_outside.c_str(), (m_root + "/linked").c_str()));
  ASSERT_EQ(0, symlink("/etc/passwd", (m_root + "/passwd").c_str()));
  ASSERT_EQ(0, symlink("../beside.txt", (m_root + "/relative.txt").c_str()));
  ASSERT_EQ(0, symlink("/dev/zero", (m_root + "/zero").c_str()));
  for (const char* target : {"/secret.txt", "/linked/secret.txt", "/passwd", "/relative.txt", "/zero", "/linked/"}) {
    Answer answer = Get(m_base, target);
    EXPECT_EQ(404, answer.status) << target;
    EXPECT_EQ(std::string::npos, answer.body.find("secret")) << target;
    EXPECT_EQ(std::string::npos, answer.body.find("beside")) << target;
  }
  // A link that stays inside the folder is an ordinary file of it.
  ASSERT_EQ(0, symlink("sub/page.html", (m_root + "/alias.html").c_str()));
  ASSERT_EQ(0, symlink((m_root + "/sub").c_str(), (m_root + "/alias").c_str()));
  EXPECT_EQ("<p>sub page</p>", Get(m_base, "/alias.html").body);
  EXPECT_EQ("<p>sub page</p>", Get(m_base, "/alias/page.html").body);
}

TEST_F(LocalServerTest, AFolderGivenThroughALinkIsServedFromWhereItReallyIs) {
  m_server.Stop();
  std::string link = m_top + "/pages-link";
  ASSERT_EQ(0, symlink(m_root.c_str(), link.c_str()));
  ASSERT_EQ(0, symlink((m_outside + "/secret.txt").c_str(), (m_root + "/secret.txt").c_str()));
  CLocalServer server;
  std::string error;
  ASSERT_TRUE(server.Start(link + "/", &error)) << error;
  EXPECT_EQ("<p>index</p>", Get(server.BaseURL(), "/index.html").body);
  EXPECT_EQ(404, Get(server.BaseURL(), "/secret.txt").status);
  server.Stop();
}

TEST_F(LocalServerTest, SpecialFilesInsideAreRefused) {
  ASSERT_EQ(0, mkfifo((m_root + "/pipe").c_str(), 0600));
  EXPECT_EQ(404, Get(m_base, "/pipe").status) << "a named pipe never stalls the server";
  EXPECT_EQ(200, Get(m_base, "/index.html").status);
}

}  // namespace
