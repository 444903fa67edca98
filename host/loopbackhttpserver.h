#pragma once
// An HTTP/1.1 server on 127.0.0.1 built on cpp-httplib, for the shell's own pages and the
// page tests. It answers each connection on a pool of a fixed number of threads, closes
// a connection after its answer, and stops at once: a stop cuts every open connection,
// also those a browser opened ahead of need and never sent on.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/mutex.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

class CLoopbackHttpServer {
 public:
  struct Options {
    size_t threads = 16;                         // connections answered at once
    std::chrono::milliseconds idleLimit{5000};   // wait for a request on a connection
    std::chrono::milliseconds ioLimit{10000};    // wait for each read or write once it began
    std::string address = "127.0.0.1";           // a loopback address: 127.0.0.1 or ::1
  };
  // Called on a pool thread for every request; what it leaves in the response is sent.
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  CLoopbackHttpServer(Options options, Handler handler);
  ~CLoopbackHttpServer();
  CLoopbackHttpServer(const CLoopbackHttpServer&) = delete;
  CLoopbackHttpServer& operator=(const CLoopbackHttpServer&) = delete;

  // Listens on the address (127.0.0.1 unless the options say ::1) at port (0: a free port). A port in TIME_WAIT can be taken again
  // (SO_REUSEADDR), one someone listens on cannot. On failure the errno is in *failure.
  bool Start(uint16_t port, int* failure);
  uint16_t Port() const { return m_port; }
  // Cuts every connection, waits for the handlers that run to return and for the pool's
  // threads to end. Nothing more is written once it began.
  void Stop();
  // For a handler that holds an answer back: returns once Stop has begun.
  void WaitUntilStopping();

 private:
  class Core;

  Options m_options;
  Handler m_handler;
  std::unique_ptr<Core> m_core;
  std::thread m_listener;
  int m_wake = -1;  // eventfd, readable from the start of Stop on
  uint16_t m_port = 0;
  platform::CMutex m_mutex;
  platform::CCondition m_changed;
  bool m_listening GUARDED_BY(m_mutex) = false;
  bool m_stopping GUARDED_BY(m_mutex) = false;
};
