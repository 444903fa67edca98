#pragma once
// Process-wide leveled logging with checked conditions.
//
//   LOG_AT(logging::LOG_WARNING) << "text";   // built only when the level passes
//   CHECK_REPORT(uID);                        // "Check failed: uID." while checks are on
//
// Lines read "[" prefix items, level, file(line) "] " text "\n" and go to the configured
// targets: a log file shared between processes, the debugger output, standard error.
// Texts are narrow bytes (the library's own are GBK) and are copied unchanged.
// Nothing here throws, and a failure to open, lock or write only skips that output.
//
// The settings are process-wide and meant to be set once at start-up; they are atomic
// or guarded all the same, so changing them while other threads log is safe.
#include <cstddef>
#include <functional>
#include <sstream>
#include <string>

#define LOGGING_API __attribute__((visibility("default")))

namespace logging {

enum LogTarget { TargetNone = 0, TargetFile = 1, TargetDebugger = 2, TargetFileAndDebugger = 3 };
// Any value other than LockAcrossProcesses means a lock within this process.
enum LogLockMode { LockAcrossProcesses = 0, LockInProcess = 1 };
// Any value other than DeleteOldLogFile appends.
enum OldLogFile { DeleteOldLogFile = 0, AppendToOldLogFile = 1 };

constexpr int LOG_INFO = 0;
constexpr int LOG_WARNING = 1;
constexpr int LOG_ERROR = 2;
constexpr int LOG_ERROR_REPORT = 3;
constexpr int LOG_FATAL = 4;

using LogHandler = std::function<void(const std::string& text)>;
using MessageHook = std::function<bool(int level, const char* file, int line, size_t messageStart,
                                       const std::string& text)>;

// The fifth argument is accepted and ignored.
LOGGING_API bool ConfigureLogging(const std::wstring& fileName, LogTarget target, LogLockMode lockMode,
                                  OldLogFile oldFile, int reserved);
// Levels above ERROR_REPORT are stored as ERROR_REPORT, so reports and fatal entries always pass.
LOGGING_API void SetMinimumLevel(int level);
LOGGING_API int GetMinimumLevel();
LOGGING_API int GetVerbosity();
LOGGING_API void SetPrefixItems(bool processId, bool threadId, bool timeStamp, bool tickCount);
LOGGING_API void SetShowDebugDialogs(bool show);
LOGGING_API void SetFatalHandler(LogHandler handler);
LOGGING_API void SetReportHandler(LogHandler handler);
LOGGING_API void SetMessageHook(MessageHook hook);
LOGGING_API MessageHook GetMessageHook();
LOGGING_API void ReleaseLogFile();
// The checks switch: checked conditions are evaluated and reported only while it is 1.
LOGGING_API void SetChecksSwitch(int value);
LOGGING_API int GetChecksSwitch();

// The name of the lock that writers of one log file share across processes:
// "Global\" followed by the file name with every '\' turned into '/'.
LOGGING_API std::wstring LogFileMutexName(const std::wstring& fileName);
// The POSIX shared-memory object that carries that lock: every process that logs to the
// file in LockAcrossProcesses mode holds an exclusive flock on it while it writes. Other
// programs that append to the same file can take the same flock to keep lines whole.
LOGGING_API std::string LogFileLockObjectName(const std::wstring& mutexName);

// One log statement: the header is written on construction, the line completed on destruction.
class LOGGING_API LogEntry {
 public:
  LogEntry(const char* file, int line, int level);
  LogEntry(const char* file, int line);  // INFO
  // "Check failed: " followed by *result (which is freed), at FATAL or at `level`.
  LogEntry(const char* file, int line, std::string* result);
  LogEntry(const char* file, int line, int level, std::string* result);
  ~LogEntry();
  LogEntry(const LogEntry&) = delete;
  LogEntry& operator=(const LogEntry&) = delete;

  std::ostream& stream() { return m_stream; }
  int level() const { return m_level; }

 protected:
  void Init(const char* file, int line, int level);

 private:
  int m_level = LOG_INFO;
  std::ostringstream m_stream;
  size_t m_messageStart = 0;
  const char* m_file = "";
  int m_line = 0;
};

// An entry that appends ": " and the system's text for an error number (errno) when it
// completes. `module` is accepted for callers written against per-module message tables;
// this system has one table, so it does not change the text.
class LOGGING_API SystemErrorLogEntry {
 public:
  SystemErrorLogEntry(const char* file, int line, int level, int errorCode, const char* module = nullptr);
  ~SystemErrorLogEntry();
  SystemErrorLogEntry(const SystemErrorLogEntry&) = delete;
  SystemErrorLogEntry& operator=(const SystemErrorLogEntry&) = delete;
  std::ostream& stream() { return m_entry.stream(); }

 private:
  int m_errorCode;
  LogEntry m_entry;
};

// Turns a streamed expression into void so that it can sit in a conditional.
struct LogMessageVoidify {
  void operator&(std::ostream&) {}
};

}  // namespace logging

#define LOG_AT(level)                                \
  !(logging::GetMinimumLevel() <= (level)) ? (void)0 \
      : logging::LogMessageVoidify() & logging::LogEntry(__FILE__, __LINE__, (level)).stream()

#define CHECK_REPORT(condition)                                                                        \
  (logging::GetChecksSwitch() != 1 || !(logging::GetMinimumLevel() <= logging::LOG_ERROR_REPORT) ||  \
   (condition))                                                                                        \
      ? (void)0                                                                                        \
      : logging::LogMessageVoidify() &                                                                 \
            logging::LogEntry(__FILE__, __LINE__, logging::LOG_ERROR_REPORT).stream()                 \
                << "Check failed: " #condition "."
