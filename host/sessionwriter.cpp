#include "host/sessionwriter.h"

CSessionWriter::CSessionWriter(Collect collect, Write write, std::chrono::milliseconds interval)
    : m_collect(std::move(collect)), m_write(std::move(write)), m_interval(interval) {
  {
    platform::CMutexLock lock(m_mutex);
    m_lastWrite = std::chrono::steady_clock::now() - interval;
  }
  m_thread = std::thread([this] { Run(); });
}

CSessionWriter::~CSessionWriter() { Stop(); }

void CSessionWriter::Changed() {
  platform::CMutexLock lock(m_mutex);
  m_dirty = true;
  m_wake.NotifyAll();
}

void CSessionWriter::Arm() {
  platform::CMutexLock lock(m_mutex);
  m_armed = true;
  m_dirty = true;
  m_wake.NotifyAll();
}

bool CSessionWriter::Armed() {
  platform::CMutexLock lock(m_mutex);
  return m_armed;
}

uint64_t CSessionWriter::Writes() {
  platform::CMutexLock lock(m_mutex);
  return m_writes;
}

void CSessionWriter::Flush() {
  platform::CMutexLock lock(m_mutex);
  if (m_stopped || !m_armed || (!m_dirty && !m_writing)) return;
  // A write under way may have collected before the last change: one more after it.
  const uint64_t wanted = m_writes + (m_writing ? 2 : 1);
  if (m_flushWanted < wanted) m_flushWanted = wanted;
  m_dirty = true;
  m_wake.NotifyAll();
  while (m_writes < wanted && !m_stopped) m_written.Wait(lock);
}

void CSessionWriter::Stop() {
  Flush();
  {
    platform::CMutexLock lock(m_mutex);
    m_stopping = true;
    m_wake.NotifyAll();
  }
  if (m_thread.joinable()) m_thread.join();
}

void CSessionWriter::Run() {
  platform::CMutexLock lock(m_mutex);
  for (;;) {
    while (!m_stopping && !(m_dirty && m_armed)) m_wake.Wait(lock);
    if (m_stopping) break;
    // Coalesce: changes within the interval after the last write wait for its end,
    // unless a flush wants them now.
    const auto due = m_lastWrite + m_interval;
    while (!m_stopping && m_flushWanted <= m_writes && std::chrono::steady_clock::now() < due) {
      m_wake.WaitUntil(lock, due);
    }
    if (m_stopping) break;
    m_dirty = false;
    m_writing = true;
    lock.Unlock();
    const std::wstring params = SessionParams(m_collect());
    m_write(params);
    lock.Lock();
    m_writing = false;
    ++m_writes;
    m_lastWrite = std::chrono::steady_clock::now();
    m_written.NotifyAll();
  }
  m_stopped = true;
  m_written.NotifyAll();
}
