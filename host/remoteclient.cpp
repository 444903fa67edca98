#include "host/remoteclient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "host/profilefolder.h"
#include "host/remoteprotocol.h"

std::string RemoteSocketPath(const std::string& profile) { return profile + "/control.sock"; }

RemoteResult SendRemoteLine(const std::string& profile, const std::string& line, std::string* answer,
                            std::string* error, int timeoutMs) {
  const std::string path = RemoteSocketPath(profile);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    *error = "the path " + path + " is too long for a socket";
    return RemoteResult::Failed;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::strerror(errno);
    return RemoteResult::Failed;
  }
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno == ENOENT || errno == ECONNREFUSED) return RemoteResult::NoBrowser;
    *error = "cannot connect to " + path + ": " + std::strerror(errno);
    return RemoteResult::Failed;
  }
  const std::string request = line + "\n";
  size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = std::string("the browser closed the connection: ") + std::strerror(errno);
      return RemoteResult::Failed;
    }
    sent += static_cast<size_t>(n);
  }
  shutdown(fd, SHUT_WR);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  answer->clear();
  for (;;) {
    const size_t end = answer->find('\n');
    if (end != std::string::npos) {
      answer->resize(end);
      return RemoteResult::Answered;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd pfd{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) == 0) {
      *error = "the browser did not answer in time";
      return RemoteResult::Failed;
    }
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = "the browser closed the connection without an answer";
      return RemoteResult::Failed;
    }
    answer->append(buffer, static_cast<size_t>(n));
  }
}

int OpenInRunningBrowser(const char* program, const std::string& profile, const std::vector<std::string>& urls) {
  struct stat folder;
  if (urls.empty() || stat(profile.c_str(), &folder) != 0) return -1;
  {
    // The lock decides who runs: free, this program starts (as it did without addresses).
    CProfileLock probe;
    if (probe.Take(profile)) return -1;
  }
  // Another program holds the profile; while it starts, its socket may not answer yet.
  // There is nothing to wait on for that across processes, so it is asked again a few
  // times a second for up to 20 seconds.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int status = 0;
  for (const std::string& url : urls) {
    std::string answer, error;
    RemoteResult result;
    while ((result = SendRemoteLine(profile, RemoteOpenRequest(url), &answer, &error)) == RemoteResult::NoBrowser &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (result == RemoteResult::NoBrowser) {
      std::fprintf(stderr, "%s: the profile %s is in use by a program that takes no addresses\n", program,
                   profile.c_str());
      return 1;
    }
    if (result == RemoteResult::Failed || !RemoteAnswerOk(answer)) {
      std::fprintf(stderr, "%s: %s could not be opened in the running browser: %s\n", program, url.c_str(),
                   result == RemoteResult::Failed ? error.c_str() : answer.c_str());
      status = 1;
    }
  }
  return status;
}
