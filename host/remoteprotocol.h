#pragma once
// The remote command protocol of a running browser: one JSON object a line, each with the
// protocol version, {"v":1,"cmd":"open","url":"..."}; every answer is one JSON line with
// "ok" true or false and, when false, "error". Commands: version, open (url, optional
// background), list, navigate (id, url), close (id). This file only reads requests and
// writes answers; the server (remoteserver.h) and the client (remoteclient.h) carry them.
#include <cstddef>
#include <string>

constexpr int kRemoteProtocolVersion = 1;
// A longer line is answered with an error and its connection closed.
constexpr size_t kRemoteMaxLine = 64 * 1024;

struct RemoteParse {
  enum Kind {
    Answer,   // `text` is the answer line to send at once (an error, or the version)
    Forward,  // `text` is the checked request (one JSON line) for the interface to carry out
  } kind = Answer;
  std::string text;
};

// Reads one request line (without its newline) and says what to do with it.
RemoteParse ParseRemoteLine(const std::string& line);

// {"ok":false,"error":text}
std::string RemoteError(const std::string& text);
// Whether an answer line says ok:true.
bool RemoteAnswerOk(const std::string& answer);
// A request line for the client: {"v":1,"cmd":cmd} with the given fields.
std::string RemoteOpenRequest(const std::string& url, bool background = false);
// The request for uicontrol-remote's arguments (cmd and its operands); empty with `error`
// set when they do not make one.
std::string RemoteRequestFromWords(int count, char** words, std::string* error);
