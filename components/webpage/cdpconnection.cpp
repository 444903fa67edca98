#include "components/webpage/cdpconnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "components/webpage/cdpframing.h"
#include "components/webpage/jsonread.h"
#include "components/webpage/weblog.h"
#include "platform/thread.h"

namespace webpage {

std::shared_ptr<CCdpConnection> CCdpConnection::Open(int fd, Handlers handlers) {
  std::shared_ptr<CCdpConnection> connection(new CCdpConnection(fd, std::move(handlers)));
  platform::CMutexPairLock guard(connection->m_mutex, connection->m_joinMutex);
  // The reader holds the connection until it ends, so replies never outlive it.
  platform::ThreadHandle thread = platform::CreateThread([connection] { connection->ReadLoop(); });
  if (!thread) {
    LogError("cannot start the DevTools reader thread");
    connection->m_closed = true;
    return nullptr;
  }
  connection->m_readerId = thread->get_id();
  connection->m_reader = std::move(*thread);
  return connection;
}

CCdpConnection::CCdpConnection(int fd, Handlers handlers) : m_fd(fd), m_handlers(std::move(handlers)) {}

CCdpConnection::~CCdpConnection() {
  platform::CMutexLock join(m_joinMutex);
  if (m_reader.joinable()) {
    if (std::this_thread::get_id() == m_reader.get_id()) m_reader.detach();
    else m_reader.join();
  }
  ::close(m_fd);
}

bool CCdpConnection::IsOpen() const {
  platform::CMutexLock guard(m_mutex);
  return !m_closed;
}

Json CCdpConnection::ErrorReply(const std::string& message) {
  return Json{{"error", {{"code", -32001}, {"message", message}}}};
}

bool CCdpConnection::IsError(const Json& reply, std::string* message) {
  if (!reply.is_object()) {
    if (message) *message = "malformed reply";
    return true;
  }
  auto error = reply.find("error");
  if (error == reply.end()) return false;
  if (message) {
    *message = "error";
    if (error->is_object()) {
      auto text = error->find("message");
      if (text != error->end() && text->is_string()) *message = text->get<std::string>();
    }
  }
  return true;
}

int CCdpConnection::Register(Pending pending) {
  platform::CMutexLock guard(m_mutex);
  if (m_closed) return 0;
  int id = m_nextId++;
  if (m_nextId <= 0) m_nextId = 1;
  m_pending.emplace(id, std::move(pending));
  return id;
}

bool CCdpConnection::Write(int id, const std::string& method, Json params, const std::string& sessionId) {
  Json message{{"id", id}, {"method", method}, {"params", params.is_object() ? std::move(params) : Json::object()}};
  if (!sessionId.empty()) message["sessionId"] = sessionId;
  std::string frame = EncodeCdpFrame(message.dump(-1, ' ', false, Json::error_handler_t::replace));
  platform::CMutexLock guard(m_writeMutex);
  size_t sent = 0;
  while (sent < frame.size()) {
    ssize_t n = ::send(m_fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

int CCdpConnection::Send(const std::string& method, Json params, const std::string& sessionId, Callback callback) {
  int id = Register(Pending{std::move(callback), nullptr});
  if (id == 0) return 0;
  if (!Write(id, method, std::move(params), sessionId)) {
    platform::CMutexLock guard(m_mutex);
    // The reader may already have failed it; only a command still pending is taken back.
    if (m_pending.erase(id) == 0) return id;
    return 0;
  }
  return id;
}

bool CCdpConnection::Call(const std::string& method, Json params, const std::string& sessionId,
                          std::chrono::milliseconds timeout, Json* reply) {
  auto slot = std::make_shared<SyncSlot>();
  int id = Register(Pending{nullptr, slot});
  if (id == 0) {
    *reply = ErrorReply("connection closed");
    return false;
  }
  if (!Write(id, method, std::move(params), sessionId)) {
    platform::CMutexLock guard(m_mutex);
    m_pending.erase(id);
    *reply = ErrorReply("cannot write to Chromium");
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  platform::CMutexLock lock(m_mutex);
  while (!slot->done) {
    if (!m_replied.WaitUntil(lock, deadline) && !slot->done) {
      m_pending.erase(id);
      *reply = ErrorReply(method + " timed out");
      return false;
    }
  }
  *reply = std::move(slot->reply);
  return !IsError(*reply, nullptr);
}

void CCdpConnection::Close() {
  std::thread::id reader;
  {
    platform::CMutexLock guard(m_mutex);
    if (!m_closed) ::shutdown(m_fd, SHUT_RDWR);
    reader = m_readerId;
  }
  // Once Close returns no handler runs any more. The reader itself cannot wait for
  // itself: it ends right after the handler that called Close.
  if (std::this_thread::get_id() == reader) return;
  platform::CMutexLock join(m_joinMutex);
  if (m_reader.joinable()) m_reader.join();
}

void CCdpConnection::ReadLoop() {
  CCdpFrameDecoder decoder;
  std::vector<char> buffer(64 * 1024);
  std::string text;
  std::string reason = "Chromium closed the connection";
  for (;;) {
    ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    decoder.Append(buffer.data(), static_cast<size_t>(n));
    while (decoder.Next(&text)) {
      Json message = Json::parse(text, nullptr, false);
      if (message.is_discarded() || !message.is_object()) {
        LogWarning("unreadable message from Chromium dropped");
        continue;
      }
      Dispatch(std::move(message));
    }
    if (decoder.Overflowed()) {
      reason = "message from Chromium too long";
      LogError(reason);
      break;
    }
  }
  FailPending(reason);
  if (m_handlers.onClosed) m_handlers.onClosed();
}

void CCdpConnection::Dispatch(Json&& message) {
  auto id = message.find("id");
  if (id == message.end()) {
    if (message.contains("method") && m_handlers.onEvent) m_handlers.onEvent(std::move(message));
    return;
  }
  // Ids are ours, from 1 up: anything else (2^32 + 1, 1e300) answers no command of ours
  // and must not wrap around onto one.
  long long number = 0;
  if (!ReadWholeNumber(*id, 1, INT_MAX, &number)) {
    LogWarning("a reply from Chromium with an unusable id was dropped");
    return;
  }
  int key = static_cast<int>(number);
  Pending pending;
  {
    platform::CMutexLock guard(m_mutex);
    auto it = m_pending.find(key);
    if (it == m_pending.end()) return;  // a call that gave up waiting
    pending = std::move(it->second);
    m_pending.erase(it);
    if (pending.sync) {
      pending.sync->reply = std::move(message);
      pending.sync->done = true;
    }
  }
  if (pending.sync) {
    m_replied.NotifyAll();
  } else if (pending.callback && m_handlers.post) {
    auto callback = std::make_shared<Callback>(std::move(pending.callback));
    auto reply = std::make_shared<Json>(std::move(message));
    m_handlers.post([callback, reply] { (*callback)(*reply); });
  }
}

void CCdpConnection::FailPending(const std::string& reason) {
  std::map<int, Pending> pending;
  {
    platform::CMutexLock guard(m_mutex);
    m_closed = true;
    pending.swap(m_pending);
    for (auto& entry : pending) {
      if (entry.second.sync) {
        entry.second.sync->reply = ErrorReply(reason);
        entry.second.sync->done = true;
      }
    }
  }
  m_replied.NotifyAll();
  for (auto& entry : pending) {
    if (entry.second.sync || !entry.second.callback || !m_handlers.post) continue;
    auto callback = std::make_shared<Callback>(std::move(entry.second.callback));
    Json reply = ErrorReply(reason);
    m_handlers.post([callback, reply] { (*callback)(reply); });
  }
}

}  // namespace webpage
