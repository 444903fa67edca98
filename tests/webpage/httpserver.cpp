#include "webpage/httpserver.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "host/loopbackhttpserver.h"

namespace webtest {

CHttpServer::CHttpServer() {
  CLoopbackHttpServer::Options options;
  options.threads = 24;  // several browsers at once, each with a few connections ahead of need
  m_server = std::make_unique<CLoopbackHttpServer>(options, [this](const httplib::Request& request,
                                                                   httplib::Response& response) {
    HttpAnswer answer = Find(request.target);
    if (answer.hang) {
      m_server->WaitUntilStopping();  // nothing is written from then on
      return;
    }
    response.status = answer.status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(answer.body, answer.contentType);
  });
  int failure = 0;
  if (!m_server->Start(0, &failure)) {
    throw std::runtime_error(std::string("the test server cannot listen: ") + std::strerror(failure));
  }
  m_port = m_server->Port();
}

CHttpServer::~CHttpServer() { m_server->Stop(); }

HttpAnswer CHttpServer::Find(const std::string& target) {
  std::lock_guard<std::mutex> guard(m_mutex);
  ++m_hits[target];
  auto it = m_routes.find(target);
  if (it == m_routes.end()) it = m_routes.find(target.substr(0, target.find('?')));
  if (it != m_routes.end()) return it->second;
  return HttpAnswer{404, "text/html; charset=utf-8", "<html><body>not found</body></html>", false};
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

}  // namespace webtest
