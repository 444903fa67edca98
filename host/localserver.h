#pragma once
// A small static file server on the loopback interface, so that the shell can show the
// pages shipped with it without any network. GET and HEAD only; regular files whose real
// path (after every symbolic link) lies inside the folder, nothing else.
#include <atomic>
#include <cstdint>
#include <string>
#include <condition_variable>
#include <mutex>
#include <thread>

class CLocalServer {
 public:
  CLocalServer() = default;
  ~CLocalServer();
  CLocalServer(const CLocalServer&) = delete;
  CLocalServer& operator=(const CLocalServer&) = delete;

  // Serves `root` on 127.0.0.1 at `port`, or at an ephemeral port when `port` is 0 or
  // taken (see PortMoved); false (with `error` set) on failure.
  bool Start(const std::string& root, std::string* error, int port = 0);
  // True when the port asked for was taken and another one is served.
  bool PortMoved() const { return m_portMoved; }
  int Port() const { return m_port; }
  void Stop();
  // "http://127.0.0.1:<port>/"
  std::string BaseURL() const;

 private:
  // Opens m_listen bound to 127.0.0.1:port (0: any free port); errno in *failure.
  bool BindLoopback(uint16_t port, int* failure);
  void Serve();
  void Answer(int client);

  std::string m_root;
  int m_listen = -1;
  int m_wake = -1;  // eventfd that Stop signals
  int m_port = 0;
  bool m_portMoved = false;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
  // One detached thread per connection (a browser opens several at once and may leave
  // some idle); Stop waits until they have all ended.
  std::mutex m_clientsMutex;
  std::condition_variable m_clientsDone;
  int m_activeClients = 0;
};
