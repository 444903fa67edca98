#pragma once
// Keeps the saved session up to date while the browser runs, so that a kill loses at most
// the last moment: every change marks the session dirty, and a thread of its own collects
// the open tabs and writes them, coalescing the changes of an interval into one write
// (one "save.session" transaction). Nothing is written until the writer is armed: a start
// that only shows the home page leaves the previous session as it was.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "host/sessionsnapshot.h"
#include "platform/mutex.h"

class CSessionWriter {
 public:
  // `collect` builds the snapshot (it may ask the pages, on the writer's thread); `write`
  // hands the parameter text to the store. Neither is called with a lock held.
  using Collect = std::function<SessionSnapshot()>;
  using Write = std::function<void(const std::wstring& params)>;

  CSessionWriter(Collect collect, Write write, std::chrono::milliseconds interval);
  ~CSessionWriter();
  CSessionWriter(const CSessionWriter&) = delete;
  CSessionWriter& operator=(const CSessionWriter&) = delete;

  // Any thread: the tabs changed.
  void Changed();
  // From now on changes are written (a pending one at once).
  void Arm();
  bool Armed();
  // Writes a pending change now and returns once it is handed to the store (nothing to
  // do when the writer is not armed or nothing changed).
  void Flush();
  // Flushes, then ends the thread; later changes are not written. Idempotent.
  void Stop();
  // Writes made so far (for tests and the log).
  uint64_t Writes();

 private:
  void Run();

  const Collect m_collect;
  const Write m_write;
  const std::chrono::milliseconds m_interval;
  platform::CMutex m_mutex;
  platform::CCondition m_wake;
  platform::CCondition m_written;
  bool m_dirty GUARDED_BY(m_mutex) = false;
  bool m_armed GUARDED_BY(m_mutex) = false;
  bool m_stopping GUARDED_BY(m_mutex) = false;
  bool m_stopped GUARDED_BY(m_mutex) = false;
  // Flush asked for the write numbered m_flushWanted; the thread has done m_writes.
  uint64_t m_flushWanted GUARDED_BY(m_mutex) = 0;
  uint64_t m_writes GUARDED_BY(m_mutex) = 0;
  bool m_writing GUARDED_BY(m_mutex) = false;
  std::chrono::steady_clock::time_point m_lastWrite GUARDED_BY(m_mutex);
  std::thread m_thread;
};
