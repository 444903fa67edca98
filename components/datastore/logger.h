#pragma once
// The store's own small logger. A call collects its entries in a CCallLog while it holds
// the database lock and hands them to the sink only after the lock is released, so a sink
// can never run under a store lock.
#include <string>
#include <utility>
#include <vector>

#include "components/datastore/datastore.h"

namespace datastore {

class CLogger {
 public:
  explicit CLogger(LogSink sink) : m_sink(std::move(sink)) {}
  // Calls the sink (or writes to standard error); never throws.
  void Write(LogLevel level, const std::string& text) const;

 private:
  LogSink m_sink;
};

class CCallLog {
 public:
  explicit CCallLog(const CLogger& logger) : m_logger(logger) {}
  ~CCallLog() { Flush(); }
  CCallLog(const CCallLog&) = delete;
  CCallLog& operator=(const CCallLog&) = delete;

  // Put before every later entry of this call, e.g. the command name.
  void SetPrefix(std::string prefix) { m_prefix = std::move(prefix); }
  void Info(std::string text) { Add(LogLevel::Info, std::move(text)); }
  void Warning(std::string text) { Add(LogLevel::Warning, std::move(text)); }
  void Error(std::string text) { Add(LogLevel::Error, std::move(text)); }
  void Flush();

 private:
  void Add(LogLevel level, std::string text);

  const CLogger& m_logger;
  std::string m_prefix;
  std::vector<std::pair<LogLevel, std::string>> m_entries;
};

}  // namespace datastore
