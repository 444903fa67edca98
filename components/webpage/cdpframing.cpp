#include "components/webpage/cdpframing.h"

#include <cstring>

namespace webpage {

std::string EncodeCdpFrame(const std::string& json) {
  std::string frame;
  frame.reserve(json.size() + 1);
  frame += json;
  frame.push_back('\0');
  return frame;
}

void CCdpFrameDecoder::Append(const char* data, size_t size) {
  if (m_overflow) return;
  // Drop what has been read once it is the larger part, so the buffer does not grow.
  if (m_start > 0 && m_start >= m_buffer.size() / 2) {
    m_buffer.erase(0, m_start);
    m_start = 0;
  }
  m_buffer.append(data, size);
}

bool CCdpFrameDecoder::Next(std::string* message) {
  if (m_overflow) return false;
  size_t from = m_start + m_scanned;
  const void* end = std::memchr(m_buffer.data() + from, '\0', m_buffer.size() - from);
  if (!end) {
    m_scanned = m_buffer.size() - m_start;
    if (m_scanned > kMaxMessage) {
      m_overflow = true;
      m_buffer.clear();
      m_start = m_scanned = 0;
    }
    return false;
  }
  size_t stop = static_cast<size_t>(static_cast<const char*>(end) - m_buffer.data());
  message->assign(m_buffer, m_start, stop - m_start);
  m_start = stop + 1;
  m_scanned = 0;
  if (m_start == m_buffer.size()) {
    m_buffer.clear();
    m_start = 0;
  }
  return true;
}

}  // namespace webpage
