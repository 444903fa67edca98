#include "host/localserver.h"

#include <fcntl.h>
#include <httplib.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/loopbackhttpserver.h"

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

void Reply(httplib::Response& response, int status, const std::string& type, const std::string& body) {
  response.status = status;
  response.set_header("Cache-Control", "no-cache");
  response.set_content(body, type);
}

// The answer for one request to the folder `root` (a real path).
void Answer(const std::string& root, const httplib::Request& request, httplib::Response& response) {
  if (request.method != "GET" && request.method != "HEAD") {
    return Reply(response, 405, "text/plain", "method\n");
  }
  // httplib has cut the query and decoded %-escapes; a fragment is cut here.
  std::string path = request.path.substr(0, request.path.find('#'));
  bool control = false;
  for (char c : path) control = control || static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '\\';
  if (path.empty() || path[0] != '/' || path.find("..") != std::string::npos || control) {
    return Reply(response, 400, "text/plain", "bad path\n");
  }
  if (path.back() == '/') path += "index.html";
  const char* notFound = "<html><head><title>Not found</title></head><body>Not found</body></html>";
  // Only regular files whose real place (after every symbolic link) is inside the
  // folder are served; checked on the open file, so that no link can be swapped in
  // between the check and the read.
  int fd = open((root + path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Reply(response, 404, "text/html; charset=utf-8", notFound);
  struct stat info;
  std::string real = PathOfOpenFile(fd);
  if (real.empty()) real = RealPath(root + path);  // no /proc: the path as resolved now
  const std::string prefix = root == "/" ? root : root + "/";
  bool inside = real.size() > prefix.size() && real.compare(0, prefix.size(), prefix) == 0;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !inside) {
    close(fd);
    return Reply(response, 404, "text/html; charset=utf-8", notFound);
  }
  std::string body;
  bool complete = ReadAll(fd, &body);
  close(fd);
  if (!complete) return Reply(response, 500, "text/plain", "read error\n");
  Reply(response, 200, ContentType(path), body);
}

}  // namespace

CLocalServer::CLocalServer() = default;

CLocalServer::~CLocalServer() { Stop(); }

bool CLocalServer::Start(const std::string& root, std::string* error, int port) {
  Stop();
  // Every answer must be a file inside this folder, as the kernel resolves it. (A folder
  // that does not exist yet serves nothing until it does.)
  m_root = RealPath(root);
  if (m_root.empty()) m_root = root;
  const uint16_t wanted = port > 0 && port < 65536 ? static_cast<uint16_t>(port) : 0;
  auto make = [this](const char* address = "127.0.0.1") {
    const std::string served = m_root;
    CLoopbackHttpServer::Options options;
    options.address = address;
    return std::make_unique<CLoopbackHttpServer>(
        options,
        [served](const httplib::Request& request, httplib::Response& response) { Answer(served, request, response); });
  };
  m_portMoved = false;
  m_server = make();
  int failure = 0;
  bool bound = m_server->Start(wanted, &failure);
  if (!bound && wanted != 0 && failure == EADDRINUSE) {
    m_portMoved = true;
    m_server = make();
    bound = m_server->Start(0, &failure);
  }
  if (!bound) {
    *error = std::string("cannot listen on 127.0.0.1: ") + std::strerror(failure);
    m_server.reset();
    return false;
  }
  m_port = m_server->Port();
  // Addresses such as [::1]:port reach the same pages. Without an IPv6 loopback, or with
  // the port taken there, the pages are served on 127.0.0.1 alone.
  m_server6 = make("::1");
  int failure6 = 0;
  if (!m_server6->Start(static_cast<uint16_t>(m_port), &failure6)) m_server6.reset();
  return true;
}

void CLocalServer::Stop() {
  if (m_server6) m_server6->Stop();
  m_server6.reset();
  if (m_server) m_server->Stop();
  m_server.reset();
}

std::string CLocalServer::BaseURL() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
