#include "host/localserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <limits.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

const char* ContentType(const std::string& path) {
  static const std::pair<const char*, const char*> kTypes[] = {
      {".html", "text/html; charset=utf-8"}, {".htm", "text/html; charset=utf-8"}, {".css", "text/css"},
      {".js", "text/javascript"},            {".png", "image/png"},                {".ico", "image/x-icon"},
      {".svg", "image/svg+xml"},             {".txt", "text/plain; charset=utf-8"}};
  for (const auto& t : kTypes) {
    const size_t n = std::strlen(t.first);
    if (path.size() >= n && path.compare(path.size() - n, n, t.first) == 0) return t.second;
  }
  return "application/octet-stream";
}

void SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

// The real path of an open file, as the kernel sees it now (symbolic links resolved).
std::string PathOfOpenFile(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[PATH_MAX + 1];
  ssize_t n = readlink(link, target, PATH_MAX);
  if (n <= 0) return "";
  return std::string(target, static_cast<size_t>(n));
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX + 1];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// Reads a whole open file; false on a read error.
bool ReadAll(int fd, std::string* bytes) {
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes->append(buffer, static_cast<size_t>(n));
  }
}

void Reply(int fd, const char* status, const char* type, const std::string& body, bool withBody) {
  std::ostringstream head;
  head << "HTTP/1.1 " << status << "\r\nContent-Type: " << type << "\r\nContent-Length: " << body.size()
       << "\r\nConnection: close\r\nCache-Control: no-cache\r\n\r\n";
  SendAll(fd, head.str() + (withBody ? body : std::string()));
}

}  // namespace

CLocalServer::~CLocalServer() { Stop(); }

bool CLocalServer::Start(const std::string& root, std::string* error, int port) {
  // Every answer must be a file inside this folder, as the kernel resolves it. (A folder
  // that does not exist yet serves nothing until it does.)
  m_root = RealPath(root);
  if (m_root.empty()) m_root = root;
  const uint16_t wanted = port > 0 && port < 65536 ? static_cast<uint16_t>(port) : 0;
  m_portMoved = false;
  int failure = 0;
  bool bound = BindLoopback(wanted, &failure);
  if (!bound && wanted != 0 && failure == EADDRINUSE) {
    m_portMoved = true;
    bound = BindLoopback(0, &failure);
  }
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (!bound || listen(m_listen, 16) != 0 || getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    if (bound) failure = errno;
    *error = std::string("cannot listen on 127.0.0.1: ") + std::strerror(failure);
    if (m_listen >= 0) close(m_listen);
    m_listen = -1;
    return false;
  }
  m_port = ntohs(addr.sin_port);
  m_wake = eventfd(0, EFD_CLOEXEC);
  if (m_wake < 0) {
    *error = std::string("cannot create an event descriptor: ") + std::strerror(errno);
    close(m_listen);
    m_listen = -1;
    return false;
  }
  m_thread = std::thread([this] { Serve(); });
  return true;
}

void CLocalServer::Stop() {
  if (!m_thread.joinable()) return;
  m_stop = true;
  uint64_t one = 1;
  ssize_t written = write(m_wake, &one, sizeof one);
  (void)written;
  m_thread.join();
  {
    std::unique_lock<std::mutex> guard(m_clientsMutex);
    m_clientsDone.wait(guard, [this] { return m_activeClients == 0; });
  }
  close(m_listen);
  close(m_wake);
  m_listen = m_wake = -1;
}

bool CLocalServer::BindLoopback(uint16_t port, int* failure) {
  m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listen < 0) {
    *failure = errno;
    return false;
  }
  // A port whose connections wait in TIME_WAIT after an earlier run can be taken again
  // (the next run asks for the same one); a port someone listens on still cannot.
  int yes = 1;
  setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return true;
  *failure = errno;
  close(m_listen);
  m_listen = -1;
  return false;
}

std::string CLocalServer::BaseURL() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

void CLocalServer::Serve() {
  while (!m_stop) {
    pollfd p[2] = {{m_listen, POLLIN, 0}, {m_wake, POLLIN, 0}};
    if (poll(p, 2, -1) <= 0 || p[1].revents) continue;
    int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    {
      std::lock_guard<std::mutex> guard(m_clientsMutex);
      ++m_activeClients;
    }
    std::thread([this, client] {
      Answer(client);
      close(client);
      std::lock_guard<std::mutex> guard(m_clientsMutex);
      if (--m_activeClients == 0) m_clientsDone.notify_all();
    }).detach();
  }
}

void CLocalServer::Answer(int client) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    pollfd p[2] = {{client, POLLIN, 0}, {m_wake, POLLIN, 0}};
    if (poll(p, 2, 5000) <= 0 || p[1].revents) return;
    ssize_t n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    request.append(buffer, static_cast<size_t>(n));
  }
  std::istringstream line(request.substr(0, request.find("\r\n")));
  std::string method, target;
  line >> method >> target;
  const bool head = method == "HEAD";
  if (method != "GET" && !head) return Reply(client, "405 Method Not Allowed", "text/plain", "method\n", true);
  std::string path = target.substr(0, target.find_first_of("?#"));
  bool control = false;
  for (char c : path) control = control || static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '\\';
  if (path.empty() || path[0] != '/' || path.find("..") != std::string::npos || control) {
    return Reply(client, "400 Bad Request", "text/plain", "bad path\n", true);
  }
  if (path.back() == '/') path += "index.html";
  const char* notFound = "<html><head><title>Not found</title></head><body>Not found</body></html>";
  // Only regular files whose real place (after every symbolic link) is inside the
  // folder are served; checked on the open file, so that no link can be swapped in
  // between the check and the read.
  int fd = open((m_root + path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Reply(client, "404 Not Found", "text/html; charset=utf-8", notFound, !head);
  struct stat info;
  std::string real = PathOfOpenFile(fd);
  if (real.empty()) real = RealPath(m_root + path);  // no /proc: the path as resolved now
  const std::string prefix = m_root == "/" ? m_root : m_root + "/";
  bool inside = real.size() > prefix.size() && real.compare(0, prefix.size(), prefix) == 0;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !inside) {
    close(fd);
    return Reply(client, "404 Not Found", "text/html; charset=utf-8", notFound, !head);
  }
  std::string body;
  bool complete = ReadAll(fd, &body);
  close(fd);
  if (!complete) return Reply(client, "500 Internal Server Error", "text/plain", "read error\n", true);
  Reply(client, "200 OK", ContentType(path), body, !head);
}
