#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 with an ephemeral port, serving fixed answers
// per path, for the page tests and the benchmark. Every connection is closed after one
// answer. An answer marked `hang` is never sent: the request stays open until the
// server stops.
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
  int Hits(const std::string& path) const;

  // A loopback port on which nothing listens (connections are refused).
  static uint16_t RefusedPort();

 private:
  void AcceptLoop();
  void Serve(int fd);

  int m_listen = -1;
  int m_wake[2] = {-1, -1};
  uint16_t m_port = 0;
  mutable std::mutex m_mutex;
  std::condition_variable m_stopped;
  bool m_stop = false;
  std::map<std::string, HttpAnswer> m_routes;
  std::map<std::string, int> m_hits;
  std::vector<std::thread> m_workers;
  std::thread m_acceptor;
};

}  // namespace webtest
