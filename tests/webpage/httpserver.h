#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 with an ephemeral port, serving fixed answers
// per path, for the page tests and the benchmark. Every connection is closed after one
// answer. An answer marked `hang` is never sent: the request stays open until the
// server stops. A stop is prompt, also with connections open that never sent anything.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class CLoopbackHttpServer;

namespace webtest {

struct HttpAnswer {
  int status = 200;
  std::string contentType = "text/html; charset=utf-8";
  std::string body;
  bool hang = false;
};

class CHttpServer {
 public:
  CHttpServer();
  ~CHttpServer();
  CHttpServer(const CHttpServer&) = delete;
  CHttpServer& operator=(const CHttpServer&) = delete;

  void Route(const std::string& path, HttpAnswer answer);
  void Html(const std::string& path, const std::string& body) { Route(path, HttpAnswer{200, "text/html; charset=utf-8", body, false}); }
  std::string Url(const std::string& path) const;
  uint16_t Port() const { return m_port; }
  // Requests for `path` (with its query, as requested) so far.
  int Hits(const std::string& path) const;

  // A loopback port on which nothing listens (connections are refused).
  static uint16_t RefusedPort();

 private:
  HttpAnswer Find(const std::string& target);

  uint16_t m_port = 0;
  mutable std::mutex m_mutex;
  std::map<std::string, HttpAnswer> m_routes;
  std::map<std::string, int> m_hits;
  std::unique_ptr<CLoopbackHttpServer> m_server;
};

}  // namespace webtest
