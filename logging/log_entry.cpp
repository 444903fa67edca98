// LogEntry: the header is written when the statement starts; when it ends the finished
// line goes to the hook, the debugger, standard error and the file, and FATAL and
// ERROR_REPORT entries take their report action.
#include <cstdio>
#include <memory>

#include "logging/debug_dialog.h"
#include "logging/entry_header.h"
#include "logging/file_lock.h"
#include "logging/log_file.h"
#include "logging/logging.h"
#include "logging/settings.h"
#include "logging/sigpipe_guard.h"
#include "platform/dialogs.h"

namespace logging {
namespace {

void WriteToStandardError(const std::string& text) {
  detail::SigpipeGuard guard;
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

// A hook or handler that throws must not take the caller down with it: a throwing hook
// counts as not having handled the entry, so the entry is not lost.
bool HookHandled(const MessageHook& hook, int level, const char* file, int line, size_t messageStart,
                 const std::string& text) {
  try {
    return hook(level, file, line, messageStart, text);
  } catch (...) {
    return false;
  }
}

void CallHandler(const LogHandler& handler, const std::string& text) {
  try {
    handler(text);
  } catch (...) {
  }
}

void Complete(int level, const char* file, int line, size_t messageStart, const std::string& text) {
  if (MessageHook hook = GetMessageHook()) {
    if (HookHandled(hook, level, file, line, messageStart, text)) return;
  }

  const int target = detail::Target();
  if (target == TargetDebugger || target == TargetFileAndDebugger) {
    OutputDebugStringA(text.c_str());
    WriteToStandardError(text);
  } else if (level >= LOG_ERROR) {
    WriteToStandardError(text);
  }

  detail::InitFileLock(LockAcrossProcesses, std::wstring());
  if (target == TargetFile || target == TargetFileAndDebugger) detail::AppendToLogFile(text);

  if (level == LOG_FATAL) {
    if (IsDebuggerPresent()) {
      DebugBreak();
    } else if (LogHandler handler = detail::FatalHandler()) {
      CallHandler(handler, text);
    }
  } else if (level == LOG_ERROR_REPORT) {
    if (LogHandler handler = detail::ReportHandler()) {
      CallHandler(handler, text);
    } else {
      detail::ShowDebugDialog(text);
    }
  }
}

}  // namespace

LogEntry::LogEntry(const char* file, int line, int level) { Init(file, line, level); }

LogEntry::LogEntry(const char* file, int line) { Init(file, line, LOG_INFO); }

LogEntry::LogEntry(const char* file, int line, std::string* result) : LogEntry(file, line, LOG_FATAL, result) {}

LogEntry::LogEntry(const char* file, int line, int level, std::string* result) {
  std::unique_ptr<std::string> owned(result);
  Init(file, line, level);
  m_stream << "Check failed: ";
  if (owned) m_stream << *owned;
}

void LogEntry::Init(const char* file, int line, int level) {
  m_level = level;
  m_file = file;
  m_line = line;
  detail::WriteHeader(m_stream, file, line, level);
  m_messageStart = static_cast<size_t>(m_stream.tellp());
}

LogEntry::~LogEntry() {
  try {
    m_stream << '\n';
    Complete(m_level, m_file, m_line, m_messageStart, m_stream.str());
  } catch (...) {
    // Logging never throws into its caller (a destructor could not pass it on anyway).
  }
}

}  // namespace logging
