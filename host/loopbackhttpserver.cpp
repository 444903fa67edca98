#include "host/loopbackhttpserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

// Waits until `fd` is ready for `events`, the wake descriptor is signalled or `limit`
// has passed. True only for the first.
bool WaitFor(int fd, short events, int wake, std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() < 0) return false;
    pollfd entries[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
    const int ready = poll(entries, 2, static_cast<int>(left.count()) + 1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || entries[1].revents) return false;
    if (entries[0].revents) return true;
  }
}

std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return text;
}

// One accepted connection as httplib reads and writes it. Every wait also ends when the
// server stops, so a stop never waits for a slow or idle client.
class CConnectionStream : public httplib::Stream {
 public:
  CConnectionStream(int fd, int wake, std::chrono::milliseconds ioLimit) : m_fd(fd), m_wake(wake), m_ioLimit(ioLimit) {}

  // Waits for the start of the next request; false at the idle limit or a stop.
  bool WaitForRequest(std::chrono::milliseconds idleLimit) const {
    return m_begin < m_end || WaitFor(m_fd, POLLIN, m_wake, idleLimit);
  }

  bool is_readable() const override { return m_begin < m_end || WaitFor(m_fd, POLLIN, m_wake, m_ioLimit); }
  bool is_writable() const override { return WaitFor(m_fd, POLLOUT, m_wake, m_ioLimit); }

  // httplib reads request lines a byte at a time: they come from a buffer.
  ssize_t read(char* data, size_t size) override {
    if (m_begin == m_end) {
      if (!is_readable()) return -1;
      ssize_t n;
      do {
        n = ::recv(m_fd, m_buffer, sizeof m_buffer, 0);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) return n;
      m_begin = 0;
      m_end = static_cast<size_t>(n);
    }
    const size_t n = std::min(size, m_end - m_begin);
    std::copy(m_buffer + m_begin, m_buffer + m_begin + n, data);
    m_begin += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* data, size_t size) override {
    if (!is_writable()) return -1;
    ssize_t n;
    do {
      n = ::send(m_fd, data, size, MSG_NOSIGNAL);  // a client gone raises no SIGPIPE
    } while (n < 0 && errno == EINTR);
    return n;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getpeername(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    ip = AddressText(address);
    port = ntohs(address.sin_port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    ip = AddressText(address);
    port = ntohs(address.sin_port);
  }
  socket_t socket() const override { return m_fd; }

 private:
  int m_fd;
  int m_wake;
  std::chrono::milliseconds m_ioLimit;
  char m_buffer[4096];
  size_t m_begin = 0, m_end = 0;
};

}  // namespace

// httplib's server with the connection loop replaced: httplib's own waits for the next
// request up to its keep-alive limit without looking at a stop, and its writes may raise
// SIGPIPE. Requests are still parsed, routed and answered by httplib.
class CLoopbackHttpServer::Core : public httplib::Server {
 public:
  Core(const CLoopbackHttpServer::Options& options, int wake) : m_options(options), m_wake(wake) {}

  // httplib listens with a backlog of 5: a browser that opens a few connections at once
  // would see some of them wait a second for a repeated SYN. Listening again widens it.
  void WidenBacklog() { ::listen(svr_sock_, 128); }

 private:
  bool process_and_close_socket(socket_t fd) override {
    // Programs this process starts meanwhile must not keep the connection open.
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    CConnectionStream stream(fd, m_wake, m_options.ioLimit);
    bool answered = false;
    if (stream.WaitForRequest(m_options.idleLimit)) {
      bool closed = false;
      // One answer per connection: no idle connection holds a pool thread for long.
      answered = process_request(stream, true, closed, nullptr);
    }
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    return answered;
  }

  CLoopbackHttpServer::Options m_options;
  int m_wake;
};

CLoopbackHttpServer::CLoopbackHttpServer(Options options, Handler handler)
    : m_options(options), m_handler(std::move(handler)) {
  if (m_options.threads == 0) m_options.threads = 1;
}

CLoopbackHttpServer::~CLoopbackHttpServer() { Stop(); }

bool CLoopbackHttpServer::Start(uint16_t port, int* failure) {
  if (m_core) {
    *failure = EBUSY;
    return false;
  }
  m_wake = eventfd(0, EFD_CLOEXEC);
  if (m_wake < 0) {
    *failure = errno;
    return false;
  }
  m_core.reset(new Core(m_options, m_wake));
  // httplib's default asks for SO_REUSEPORT, with which a second server could share a
  // port that is in use: only SO_REUSEADDR here.
  m_core->set_socket_options([](socket_t fd) {
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  });
  m_core->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    m_handler(request, response);
    return httplib::Server::HandlerResponse::Handled;
  });
  // httplib makes the pool once it listens: that is also the moment from which its stop
  // takes effect, which Start waits for.
  const size_t threads = m_options.threads;
  m_core->new_task_queue = [this, threads] {
    auto* pool = new httplib::ThreadPool(threads);
    {
      platform::CMutexLock lock(m_mutex);
      m_listening = true;
    }
    m_changed.NotifyAll();
    return pool;
  };
  errno = 0;
  bool bound;
  if (port == 0) {
    const int chosen = m_core->bind_to_any_port(m_options.address);
    bound = chosen > 0;
    m_port = bound ? static_cast<uint16_t>(chosen) : 0;
  } else {
    bound = m_core->bind_to_port(m_options.address, port);
    m_port = port;
  }
  if (!bound) {
    *failure = errno != 0 ? errno : EADDRNOTAVAIL;
    m_core.reset();
    close(m_wake);
    m_wake = -1;
    m_port = 0;
    return false;
  }
  m_core->WidenBacklog();
  m_listener = std::thread([this] {
    m_core->listen_after_bind();
    platform::CMutexLock lock(m_mutex);
    m_listening = true;  // also when it could not listen at all: Start must not wait on
    m_changed.NotifyAll();
  });
  platform::CMutexLock lock(m_mutex);
  while (!m_listening) m_changed.Wait(lock);
  return true;
}

void CLoopbackHttpServer::Stop() {
  if (!m_core) return;
  {
    platform::CMutexLock lock(m_mutex);
    m_stopping = true;
    const uint64_t one = 1;
    ssize_t written = write(m_wake, &one, sizeof one);
    (void)written;
  }
  m_changed.NotifyAll();
  m_core->stop();
  m_listener.join();
  m_core.reset();
  close(m_wake);
  m_wake = -1;
  platform::CMutexLock lock(m_mutex);
  m_listening = false;
  m_stopping = false;
}

void CLoopbackHttpServer::WaitUntilStopping() {
  platform::CMutexLock lock(m_mutex);
  while (!m_stopping) m_changed.Wait(lock);
}

#if defined(__SANITIZE_THREAD__)
// Debian's libcpp-httplib is not built with ThreadSanitizer: it cannot see that library's
// own synchronisation (the guards of its function-local statics), so the library's
// copies and compares on two pool threads read as races. Only the memory functions that
// library calls are excused; code of this project stays checked. Weak: a program that
// excuses more libraries (the GTK tests) gives the whole list in its own definition.
extern "C" __attribute__((weak, visibility("default"))) const char* __tsan_default_suppressions() {
  return "called_from_lib:libcpp-httplib.so\n";
}
#endif
