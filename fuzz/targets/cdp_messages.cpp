// What Chromium sends over the DevTools pipe, as any byte stream: the frame decoder fed
// in pieces must give exactly the NUL-terminated messages, and a connection reading the
// stream must hand events and replies on (to the right pending commands) and close cleanly.
//
// Input: the first byte chooses the piece sizes the decoder is fed; the rest is the stream.
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "components/webpage/cdpconnection.h"
#include "components/webpage/cdpframing.h"
#include "components/webpage/weblog.h"
#include "fuzz/fuzzinput.h"

namespace {

void CheckDecoder(const std::string& stream, unsigned piece) {
  std::vector<std::string> expected;
  size_t start = 0;
  for (size_t end; (end = stream.find('\0', start)) != std::string::npos; start = end + 1) {
    expected.push_back(stream.substr(start, end - start));
  }
  webpage::CCdpFrameDecoder decoder;
  std::vector<std::string> got;
  std::string message;
  for (size_t at = 0; at < stream.size(); at += piece) {
    decoder.Append(stream.data() + at, std::min<size_t>(piece, stream.size() - at));
    // Taking messages only now and then leaves several complete ones in the buffer.
    if ((at / piece) % 3 == 0) {
      while (decoder.Next(&message)) got.push_back(message);
    }
  }
  while (decoder.Next(&message)) got.push_back(message);
  FUZZ_CHECK(!decoder.Overflowed(), "a short stream overflowed");
  FUZZ_CHECK(got == expected, "the decoder split the stream differently");
  for (const std::string& m : expected) {
    const std::string frame = webpage::EncodeCdpFrame(m);
    FUZZ_CHECK(frame.size() == m.size() + 1 && frame.back() == '\0', "a frame ends with one NUL");
  }
}

struct Observed {
  std::mutex mutex;
  std::condition_variable changed;
  bool closed = false;
  int events = 0;
  std::set<int> replies;  // ids of the pending commands that got their reply
};

void CheckConnection(const std::string& stream) {
  int pair[2];
  FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0, "socketpair");
  Observed seen;
  webpage::CCdpConnection::Handlers handlers;
  handlers.onEvent = [&](webpage::Json&& event) {
    FUZZ_CHECK(event.is_object() && event.contains("method"), "an event has a method");
    std::lock_guard<std::mutex> guard(seen.mutex);
    ++seen.events;
  };
  handlers.onClosed = [&] {
    std::lock_guard<std::mutex> guard(seen.mutex);
    FUZZ_CHECK(!seen.closed, "closed twice");
    seen.closed = true;
    seen.changed.notify_all();
  };
  handlers.post = [](std::function<void()> task) { task(); };
  std::shared_ptr<webpage::CCdpConnection> connection = webpage::CCdpConnection::Open(pair[0], handlers);
  FUZZ_CHECK(connection, "the connection opens");

  // Three commands wait for replies (ids 1 to 3); the stream may answer any of them.
  for (int i = 0; i < 3; ++i) {
    const int id = connection->Send("Test.method", webpage::Json::object(), i == 1 ? "session" : "",
                                    [&, i](const webpage::Json& reply) {
                                      FUZZ_CHECK(reply.is_object(), "a reply is an object");
                                      // The reply to this command, or the error of the closed connection.
                                      const auto id = reply.find("id");
                                      FUZZ_CHECK(id == reply.end() ? reply.contains("error") : *id == i + 1,
                                                 "a reply went to command " + std::to_string(i + 1) + ": " +
                                                     reply.dump(-1, ' ', false, webpage::Json::error_handler_t::replace));
                                      std::lock_guard<std::mutex> guard(seen.mutex);
                                      FUZZ_CHECK(seen.replies.insert(i + 1).second, "a command answered twice");
                                    });
    FUZZ_CHECK(id == i + 1, "commands are numbered from 1");
  }
  size_t sent = 0;
  while (sent < stream.size()) {
    const ssize_t n = ::send(pair[1], stream.data() + sent, stream.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  ::shutdown(pair[1], SHUT_WR);
  {
    std::unique_lock<std::mutex> guard(seen.mutex);
    seen.changed.wait(guard, [&] { return seen.closed; });  // a hang is a fault; libFuzzer times it out
  }
  // Every command got exactly one answer: its reply, or the error of the closed connection.
  FUZZ_CHECK(seen.replies.size() == 3, "a pending command was never answered");
  FUZZ_CHECK(!connection->IsOpen(), "open after the peer closed");
  webpage::Json reply;
  FUZZ_CHECK(!connection->Call("Test.late", webpage::Json::object(), "", std::chrono::milliseconds(1), &reply),
             "a call on a closed connection");
  connection->Close();
  connection.reset();
  ::close(pair[1]);
}

}  // namespace

FUZZ_TARGET(data, size) {
  webpage::SetLogSink([](webpage::LogLevel, const std::string&) {});
  if (size == 0) return 0;
  const unsigned piece = 1 + data[0] % 17;
  const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);
  CheckDecoder(stream, piece);
  CheckConnection(stream);
  return 0;
}
