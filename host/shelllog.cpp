#include "host/shelllog.h"

#include <iconv.h>

#include "components/webpage/weblog.h"
#include "logging/logging.h"

std::string ValidUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e ? 4 : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
    if (valid && length > 1) {
      // No overlong forms, no surrogates, nothing past U+10FFFF.
      unsigned long cp = c & (0xff >> (length + 1));
      for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3f);
      static const unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
      valid = cp >= kLeast[length] && cp <= 0x10ffff && !(cp >= 0xd800 && cp <= 0xdfff);
    }
    if (valid) {
      out.append(text, i, length);
      i += length;
    } else {
      out += "\xef\xbf\xbd";
      ++i;
    }
  }
  return out;
}

std::string LibraryTextToUtf8(const std::string& text) {
  if (ValidUtf8(text) == text) return text;
  iconv_t convert = iconv_open("UTF-8", "GB18030");
  if (convert == reinterpret_cast<iconv_t>(-1)) return ValidUtf8(text);
  std::string in = text, out(text.size() * 4 + 4, '\0');
  char* from = &in[0];
  char* to = &out[0];
  size_t left = in.size(), room = out.size();
  const bool whole = iconv(convert, &from, &left, &to, &room) != static_cast<size_t>(-1) && left == 0;
  iconv_close(convert);
  if (!whole) return ValidUtf8(text);
  out.resize(out.size() - room);
  return ValidUtf8(out);
}

CShellLog::CShellLog(const std::string& path) {
  platform::CMutexLock lock(m_mutex);
  m_file = std::fopen(path.c_str(), "a");
  m_open = m_file != nullptr;
}

CShellLog::~CShellLog() {
  platform::CMutexLock lock(m_mutex);
  if (m_file) std::fclose(m_file);
  m_file = nullptr;
}

void CShellLog::Write(const std::string& source, const std::string& text) {
  platform::CMutexLock lock(m_mutex);
  FILE* out = m_file ? m_file : stderr;
  const std::string line = ValidUtf8(text);
  std::fprintf(out, "%s: %s%s", ValidUtf8(source).c_str(), line.c_str(), !line.empty() && line.back() == '\n' ? "" : "\n");
  std::fflush(out);
}

void CShellLog::InstallLibraryHook() {
  if (!m_open) return;
  logging::SetMessageHook([this](int, const char*, int, size_t, const std::string& text) {
    Write("uicontrol", LibraryTextToUtf8(text));
    return true;  // handled: nothing on the terminal
  });
}

void CShellLog::InstallPageEngineSink() {
  if (!m_open) return;
  webpage::SetLogSink([this](webpage::LogLevel level, const std::string& text) {
    Write(std::string("webpage ") + webpage::LogLevelName(level), text);
  });
}
