#pragma once
// One DevTools protocol connection over a socket whose other end is Chromium's pipe pair
// (fds 3 and 4). Commands carry increasing ids; replies are matched to them. A reader
// thread parses everything Chromium sends: events go to a handler, replies to the
// waiting caller or, for asynchronous commands, to a callback run where `post` says.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/mutex.h"

namespace webpage {

using Json = nlohmann::json;

class CCdpConnection : public std::enable_shared_from_this<CCdpConnection> {
 public:
  // A reply is the whole message: it holds "result" or "error".
  using Callback = std::function<void(const Json& reply)>;

  struct Handlers {
    std::function<void(Json&& event)> onEvent;           // on the reader thread
    std::function<void()> onClosed;                      // on the reader thread, once
    std::function<void(std::function<void()>)> post;     // runs reply callbacks, in order
  };

  // Takes the socket and starts reading. Null (and the socket closed) when the reader
  // thread cannot be started.
  static std::shared_ptr<CCdpConnection> Open(int fd, Handlers handlers);
  ~CCdpConnection();
  CCdpConnection(const CCdpConnection&) = delete;
  CCdpConnection& operator=(const CCdpConnection&) = delete;

  // Sends a command; `callback` (may be empty) gets its reply, or an error reply when
  // the connection closes first. Returns the command id, 0 when nothing could be sent
  // (the callback is then not called).
  int Send(const std::string& method, Json params, const std::string& sessionId, Callback callback);
  // Sends a command and waits for its reply. False (with an error reply) on timeout or
  // when the connection is closed. Never call it on the reader thread.
  bool Call(const std::string& method, Json params, const std::string& sessionId,
            std::chrono::milliseconds timeout, Json* reply);

  // Ends the connection: the reader stops, waiting calls fail, callbacks get errors.
  // After it returns no handler is called any more (unless it is called by one).
  void Close();
  bool IsOpen() const;

  // True when the reply is an error; *message gets its text.
  static bool IsError(const Json& reply, std::string* message);
  static Json ErrorReply(const std::string& message);

 private:
  struct SyncSlot {
    bool done = false;
    Json reply;
  };
  struct Pending {
    Callback callback;
    std::shared_ptr<SyncSlot> sync;
  };

  CCdpConnection(int fd, Handlers handlers);
  int Register(Pending pending);
  bool Write(int id, const std::string& method, Json params, const std::string& sessionId);
  void ReadLoop();
  void Dispatch(Json&& message);
  void FailPending(const std::string& reason);

  const int m_fd;
  Handlers m_handlers;
  // Keeps the frames of concurrent senders whole on the socket.
  platform::CMutex m_writeMutex;
  platform::CMutex m_joinMutex;  // one waiter for the reader at a time
  std::thread m_reader GUARDED_BY(m_joinMutex);
  mutable platform::CMutex m_mutex;
  platform::CCondition m_replied;  // a synchronous call's reply came (with m_mutex)
  std::map<int, Pending> m_pending GUARDED_BY(m_mutex);
  int m_nextId GUARDED_BY(m_mutex) = 1;
  bool m_closed GUARDED_BY(m_mutex) = false;
  std::thread::id m_readerId GUARDED_BY(m_mutex);
};

}  // namespace webpage
