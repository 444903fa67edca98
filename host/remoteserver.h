#pragma once
// Serves the remote command protocol (remoteprotocol.h) on a Unix socket in the profile.
//
// A thread of its own accepts the clients and reads their lines, so that neither face's
// event loop has to know about sockets and a slow or silent client never holds up the
// interface. A checked request is handed to the interface's thread through `forward`
// (the session pushes it onto its notification queue); that thread gives the answer back
// with Answer, from where the server's thread writes it. Answers that need no interface
// (errors, the version) are written at once.
//
// Limits: a line of at most kRemoteMaxLine bytes (longer: an error answer, then the
// connection closes); at most `maxClients` connections (more: an error answer and a
// close); a client that sends no complete line for `idle` is closed; a command that the
// interface did not answer within `command` is answered with an error.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/mutex.h"

class CRemoteServer {
 public:
  struct Limits {
    size_t maxClients = 16;
    std::chrono::milliseconds idle{5000};
    std::chrono::milliseconds command{10000};
  };
  // Called on the server's thread with a token for Answer and the checked request line.
  using Forward = std::function<void(unsigned int token, const std::string& request)>;

  CRemoteServer(Limits limits, Forward forward);
  ~CRemoteServer();
  CRemoteServer(const CRemoteServer&) = delete;
  CRemoteServer& operator=(const CRemoteServer&) = delete;

  // Binds `path` (mode 0600) and starts serving. A socket left there by an instance that
  // ended is replaced; one that answers, or a file that is not a socket, is never touched.
  bool Start(const std::string& path, std::string* error);
  // Any thread: the answer line to the request of `token` (ignored when that client went
  // or its command timed out).
  void Answer(unsigned int token, std::string answer);
  // Closes every connection and removes the socket. Also done by the destructor.
  void Stop();

 private:
  struct Client;
  void Loop();
  void Wake();
  void Accept();
  void ReadFrom(Client& client);
  void TakeLines(Client& client);
  void WriteTo(Client& client);
  void Expire(Client& client, std::chrono::steady_clock::time_point now);

  const Limits m_limits;
  const Forward m_forward;
  std::string m_path;
  int m_listenFd = -1;
  int m_wakeFd = -1;
  std::thread m_thread;

  platform::CMutex m_mutex;
  std::vector<std::pair<unsigned int, std::string>> m_answers GUARDED_BY(m_mutex);
  bool m_stop GUARDED_BY(m_mutex) = false;

  // The server thread's own.
  std::vector<std::unique_ptr<Client>> m_clients;
  unsigned int m_nextToken = 0;
};
