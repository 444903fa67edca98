#pragma once
// A small static file server on the loopback interface, so that the shell can show the
// pages shipped with it without any network. GET and HEAD only; regular files whose real
// path (after every symbolic link) lies inside the folder, nothing else.
#include <memory>
#include <string>

class CLoopbackHttpServer;

class CLocalServer {
 public:
  CLocalServer();
  ~CLocalServer();
  CLocalServer(const CLocalServer&) = delete;
  CLocalServer& operator=(const CLocalServer&) = delete;

  // Serves `root` on 127.0.0.1 at `port`, or at an ephemeral port when `port` is 0 or
  // taken (see PortMoved); false (with `error` set) on failure. The same port is served
  // on the IPv6 loopback ([::1]) too, where the machine has one and the port is free there.
  bool Start(const std::string& root, std::string* error, int port = 0);
  // True when the port asked for was taken and another one is served.
  bool PortMoved() const { return m_portMoved; }
  int Port() const { return m_port; }
  // Ends at once, also with connections open that never sent a request.
  void Stop();
  // "http://127.0.0.1:<port>/"
  std::string BaseURL() const;

 private:
  std::string m_root;
  int m_port = 0;
  bool m_portMoved = false;
  std::unique_ptr<CLoopbackHttpServer> m_server;
  std::unique_ptr<CLoopbackHttpServer> m_server6;  // [::1], when it could listen
};
