#include "components/datastore/logger.h"

#include <cstdio>

namespace datastore {

const char* LogLevelName(LogLevel level) {
  switch (level) {
    case LogLevel::Info: return "INFO";
    case LogLevel::Warning: return "WARNING";
    case LogLevel::Error: return "ERROR";
  }
  return "?";
}

void CLogger::Write(LogLevel level, const std::string& text) const {
  try {
    if (m_sink) {
      m_sink(level, text);
      return;
    }
  } catch (...) {
    // A throwing sink loses its entry; the store goes on.
    return;
  }
  std::fprintf(stderr, "datastore: %s %s\n", LogLevelName(level), text.c_str());
}

void CCallLog::Add(LogLevel level, std::string text) {
  try {
    m_entries.emplace_back(level, m_prefix + text);
  } catch (...) {
  }
}

void CCallLog::Flush() {
  std::vector<std::pair<LogLevel, std::string>> entries;
  entries.swap(m_entries);
  for (const auto& entry : entries) m_logger.Write(entry.first, entry.second);
}

}  // namespace datastore
