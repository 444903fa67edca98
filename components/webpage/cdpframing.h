#pragma once
// Message framing of Chromium's --remote-debugging-pipe: every message is one JSON text
// followed by a NUL byte, in both directions.
#include <cstddef>
#include <string>

namespace webpage {

std::string EncodeCdpFrame(const std::string& json);

class CCdpFrameDecoder {
 public:
  // A message longer than this is a fault of the peer; the stream is then unusable.
  static constexpr size_t kMaxMessage = 256u << 20;

  void Append(const char* data, size_t size);
  // Takes the next complete message; false when none is complete yet.
  bool Next(std::string* message);
  // True once a message grew past kMaxMessage without its terminator.
  bool Overflowed() const { return m_overflow; }

 private:
  std::string m_buffer;
  size_t m_start = 0;    // where the unread bytes of m_buffer begin
  size_t m_scanned = 0;  // unread bytes known to hold no terminator
  bool m_overflow = false;
};

}  // namespace webpage
