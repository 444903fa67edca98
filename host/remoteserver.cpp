#include "host/remoteserver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "host/remoteprotocol.h"
#include "logging/logging.h"

using Clock = std::chrono::steady_clock;

struct CRemoteServer::Client {
  int fd = -1;
  std::string in;
  std::string out;
  unsigned int waiting = 0;  // the token of the command the interface carries out
  Clock::time_point deadline;
  bool eof = false;       // the client sent all it will send
  bool closing = false;   // close once `out` is written
  bool discard = false;   // after a line over the limit: input is read and dropped
  bool done = false;      // to be removed
};

namespace {

bool FillAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Whether a process answers on the socket at `address`.
bool Answers(const sockaddr_un& address) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return answers;
}

}  // namespace

CRemoteServer::CRemoteServer(Limits limits, Forward forward) : m_limits(limits), m_forward(std::move(forward)) {}

CRemoteServer::~CRemoteServer() { Stop(); }

bool CRemoteServer::Start(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!FillAddress(path, &address)) {
    *error = "the path " + path + " is too long for a socket";
    return false;
  }
  struct stat existing;
  if (lstat(path.c_str(), &existing) == 0) {
    if (!S_ISSOCK(existing.st_mode)) {
      *error = path + " exists and is not a socket";
      return false;
    }
    if (Answers(address)) {
      *error = "another program answers on " + path;
      return false;
    }
    unlink(path.c_str());  // left by an instance that ended
  }
  m_listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (m_listenFd < 0 || m_wakeFd < 0 ||
      bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *error = "cannot make the socket " + path + ": " + std::strerror(errno);
    Stop();
    return false;
  }
  m_path = path;
  // The profile folder is 0700 already; the socket itself is the user's alone too.
  if (chmod(path.c_str(), 0600) != 0 || listen(m_listenFd, 16) != 0) {
    *error = "cannot listen on " + path + ": " + std::strerror(errno);
    Stop();
    return false;
  }
  m_thread = std::thread([this] { Loop(); });
  return true;
}

void CRemoteServer::Stop() {
  {
    platform::CMutexLock lock(m_mutex);
    m_stop = true;
  }
  Wake();
  if (m_thread.joinable()) m_thread.join();
  for (auto& client : m_clients) close(client->fd);
  m_clients.clear();
  if (m_listenFd >= 0) close(m_listenFd);
  if (m_wakeFd >= 0) close(m_wakeFd);
  m_listenFd = m_wakeFd = -1;
  if (!m_path.empty()) unlink(m_path.c_str());
  m_path.clear();
}

void CRemoteServer::Answer(unsigned int token, std::string answer) {
  {
    platform::CMutexLock lock(m_mutex);
    m_answers.emplace_back(token, std::move(answer));
  }
  Wake();
}

void CRemoteServer::Wake() {
  if (m_wakeFd < 0) return;
  const uint64_t one = 1;
  ssize_t written = write(m_wakeFd, &one, sizeof one);
  (void)written;
}

void CRemoteServer::Loop() {
  std::vector<pollfd> fds;
  for (;;) {
    const Clock::time_point now = Clock::now();
    Clock::time_point next = now + std::chrono::hours(1);
    fds.assign({{m_wakeFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}});
    for (auto& client : m_clients) {
      short events = 0;
      // A client that does not read its answers is not read either (and times out).
      const bool reading = !client->waiting && !client->eof && client->out.size() < kRemoteMaxLine;
      if (reading && (!client->closing || client->discard)) events |= POLLIN;
      if (!client->out.empty()) events |= POLLOUT;
      fds.push_back({client->fd, events, 0});
      next = std::min(next, client->deadline);
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
    if (poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(wait, 0))) < 0 && errno != EINTR) {
      LOG_AT(logging::LOG_ERROR) << "remote: poll failed: " << std::strerror(errno);
      return;
    }
    std::vector<std::pair<unsigned int, std::string>> answers;
    if (fds[0].revents) {
      uint64_t count;
      ssize_t got = read(m_wakeFd, &count, sizeof count);
      (void)got;
      platform::CMutexLock lock(m_mutex);
      if (m_stop) return;
      answers.swap(m_answers);
    }
    for (auto& answer : answers) {
      for (auto& client : m_clients) {
        if (client->waiting != answer.first) continue;
        client->waiting = 0;
        client->out += answer.second + "\n";
        client->deadline = Clock::now() + m_limits.idle;
        TakeLines(*client);  // the lines that came while it waited
      }
    }
    // Clients are only added after the loop over the descriptors polled for them.
    const size_t polled = fds.size() - 2;
    for (size_t i = 0; i < polled; ++i) {
      Client& client = *m_clients[i];
      const short revents = fds[i + 2].revents;
      if (revents & POLLIN) ReadFrom(client);
      if ((revents & (POLLERR | POLLNVAL)) || ((revents & POLLHUP) && !(revents & POLLIN))) client.done = true;
      if (!client.done && !client.out.empty()) {
        WriteTo(client);
        TakeLines(client);  // the lines held back while the answers waited
      }
      Expire(client, Clock::now());
    }
    if (fds[1].revents & POLLIN) Accept();
    for (auto& client : m_clients) {
      if (client->done) close(client->fd);
    }
    m_clients.erase(std::remove_if(m_clients.begin(), m_clients.end(), [](const auto& c) { return c->done; }),
                    m_clients.end());
  }
}

void CRemoteServer::Accept() {
  for (;;) {
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (m_clients.size() >= m_limits.maxClients) {
      LOG_AT(logging::LOG_WARNING) << "remote: too many connections; one refused";
      const std::string busy = RemoteError("too many connections") + "\n";
      ssize_t written = send(fd, busy.data(), busy.size(), MSG_NOSIGNAL);
      (void)written;
      close(fd);
      continue;
    }
    auto client = std::make_unique<Client>();
    client->fd = fd;
    client->deadline = Clock::now() + m_limits.idle;
    m_clients.push_back(std::move(client));
  }
}

void CRemoteServer::ReadFrom(Client& client) {
  char buffer[16384];
  for (;;) {
    const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
    if (n > 0) {
      if (!client.discard) client.in.append(buffer, static_cast<size_t>(n));
      // Past the limit nothing more is read now: the line is refused first.
      if (client.in.size() > kRemoteMaxLine) break;
      continue;
    }
    if (n == 0) client.eof = true;
    else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) client.done = true;
    break;
  }
  if (client.discard && client.eof) client.done = true;
  TakeLines(client);
}

void CRemoteServer::TakeLines(Client& client) {
  while (!client.waiting && !client.closing && !client.done && client.out.size() < kRemoteMaxLine) {
    const size_t end = client.in.find('\n');
    const bool overlong = end == std::string::npos ? client.in.size() > kRemoteMaxLine : end > kRemoteMaxLine;
    if (end == std::string::npos || overlong) {
      if (overlong) {
        LOG_AT(logging::LOG_WARNING) << "remote: a line over " << kRemoteMaxLine << " bytes; connection closed";
        client.out += RemoteError("the line is longer than " + std::to_string(kRemoteMaxLine) + " bytes") + "\n";
        client.in.clear();
        client.closing = client.discard = true;
        client.deadline = Clock::now() + m_limits.idle;
      } else if (client.eof) {
        // What a client sends last may lack its newline.
        if (client.in.empty()) client.closing = true;
        else client.in += '\n';
        continue;
      }
      return;
    }
    std::string line = client.in.substr(0, end);
    client.in.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    RemoteParse parsed = ParseRemoteLine(line);
    client.deadline = Clock::now() + m_limits.idle;
    if (parsed.kind == RemoteParse::Answer) {
      if (!RemoteAnswerOk(parsed.text)) LOG_AT(logging::LOG_WARNING) << "remote: refused: " << parsed.text;
      client.out += parsed.text + "\n";
      continue;
    }
    if (++m_nextToken == 0) ++m_nextToken;  // 0 stands for no client
    client.waiting = m_nextToken;
    client.deadline = Clock::now() + m_limits.command;
    m_forward(client.waiting, parsed.text);
  }
}

void CRemoteServer::WriteTo(Client& client) {
  while (!client.out.empty()) {
    const ssize_t n = send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
    if (n > 0) {
      client.out.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    client.done = true;
    return;
  }
  if (client.closing) {
    // Everything is said; a client still sending an overlong line reads the answer
    // before its end goes unread.
    if (client.discard) shutdown(client.fd, SHUT_WR);
    else client.done = true;
  }
}

void CRemoteServer::Expire(Client& client, Clock::time_point now) {
  if (client.done) return;
  if (client.closing && !client.discard && client.out.empty()) client.done = true;
  if (now < client.deadline) return;
  if (client.waiting) {
    LOG_AT(logging::LOG_WARNING) << "remote: the interface did not answer a command in time";
    client.waiting = 0;
    client.out += RemoteError("the browser did not answer in time") + "\n";
    client.closing = true;
    client.deadline = now + m_limits.idle;
    WriteTo(client);
  } else {
    // Silent for too long, or an answer it does not read.
    client.done = true;
  }
}
