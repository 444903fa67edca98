#include "webpage/httpserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace webtest {

CHttpServer::CHttpServer() {
  m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(m_listen, 64);
  socklen_t length = sizeof address;
  ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
  m_port = ntohs(address.sin_port);
  if (::pipe2(m_wake, O_CLOEXEC) != 0) m_wake[0] = m_wake[1] = -1;
  m_acceptor = std::thread([this] { AcceptLoop(); });
}

CHttpServer::~CHttpServer() {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_stop = true;
  }
  m_stopped.notify_all();
  if (m_wake[1] >= 0) (void)::write(m_wake[1], "x", 1);
  m_acceptor.join();
  for (std::thread& worker : m_workers) worker.join();
  ::close(m_listen);
  if (m_wake[0] >= 0) ::close(m_wake[0]);
  if (m_wake[1] >= 0) ::close(m_wake[1]);
}

void CHttpServer::Route(const std::string& path, HttpAnswer answer) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_routes[path] = std::move(answer);
}

std::string CHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

int CHttpServer::Hits(const std::string& path) const {
  std::lock_guard<std::mutex> guard(m_mutex);
  auto it = m_hits.find(path);
  return it == m_hits.end() ? 0 : it->second;
}

uint16_t CHttpServer::RefusedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);  // bound but never listening: the port is free and refuses connections
  return ntohs(address.sin_port);
}

void CHttpServer::AcceptLoop() {
  for (;;) {
    pollfd entries[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    if (::poll(entries, 2, -1) < 0 && errno != EINTR) return;
    if (entries[1].revents) return;
    if (!(entries[0].revents & POLLIN)) continue;
    int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_stop) {
      ::close(fd);
      return;
    }
    m_workers.emplace_back([this, fd] { Serve(fd); });
  }
}

void CHttpServer::Serve(int fd) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    // Chromium opens connections ahead of need and may never send on them: a stopping
    // server must not wait for it to give them up.
    pollfd entries[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    if (::poll(entries, 2, -1) < 0 && errno != EINTR) break;
    if (entries[1].revents) {
      ::close(fd);
      return;
    }
    if (!entries[0].revents) continue;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  std::string path = "/";
  size_t space = request.find(' ');
  if (space != std::string::npos) {
    size_t end = request.find(' ', space + 1);
    path = request.substr(space + 1, end == std::string::npos ? std::string::npos : end - space - 1);
  }
  HttpAnswer answer{404, "text/html; charset=utf-8", "<html><body>not found</body></html>", false};
  {
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_hits[path];
    auto it = m_routes.find(path);
    if (it == m_routes.end()) it = m_routes.find(path.substr(0, path.find('?')));
    if (it != m_routes.end()) answer = it->second;
    if (answer.hang) {
      m_stopped.wait(lock, [this] { return m_stop; });
      lock.unlock();
      ::close(fd);
      return;
    }
  }
  std::string reason = answer.status == 200 ? "OK" : answer.status == 404 ? "Not Found" : "Status";
  std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + reason + "\r\nContent-Type: " +
                     answer.contentType + "\r\nContent-Length: " + std::to_string(answer.body.size()) +
                     "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
  std::string all = head + answer.body;
  size_t sent = 0;
  while (sent < all.size()) {
    ssize_t n = ::send(fd, all.data() + sent, all.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  ::shutdown(fd, SHUT_WR);
  ::close(fd);
}

}  // namespace webtest
