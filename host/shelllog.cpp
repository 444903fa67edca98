#include "host/shelllog.h"

#include "components/webpage/weblog.h"
#include "logging/logging.h"

CShellLog::CShellLog(const std::string& path) { m_file = std::fopen(path.c_str(), "a"); }

CShellLog::~CShellLog() {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (m_file) std::fclose(m_file);
  m_file = nullptr;
}

void CShellLog::Write(const std::string& source, const std::string& text) {
  std::lock_guard<std::mutex> guard(m_mutex);
  FILE* out = m_file ? m_file : stderr;
  std::fprintf(out, "%s: %s%s", source.c_str(), text.c_str(), !text.empty() && text.back() == '\n' ? "" : "\n");
  std::fflush(out);
}

void CShellLog::InstallLibraryHook() {
  if (!m_file) return;
  logging::SetMessageHook([this](int, const char*, int, size_t, const std::string& text) {
    Write("uicontrol", text);
    return true;  // handled: nothing on the terminal
  });
}

void CShellLog::InstallPageEngineSink() {
  if (!m_file) return;
  webpage::SetLogSink([this](webpage::LogLevel level, const std::string& text) {
    Write(std::string("webpage ") + webpage::LogLevelName(level), text);
  });
}
