#include "host/notificationqueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

void CNotificationQueue::Push(HostNotification notification) {
  int fd;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_items.push_back(std::move(notification));
    fd = m_fd;
  }
  m_cond.notify_one();
  if (fd >= 0) {
    uint64_t one = 1;
    ssize_t written = write(fd, &one, sizeof one);
    (void)written;
  }
}

bool CNotificationQueue::WaitPop(HostNotification* out, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(m_mutex);
  m_cond.wait_for(guard, timeout, [&] { return !m_items.empty() || m_woken; });
  m_woken = false;
  if (m_items.empty()) return false;
  *out = std::move(m_items.front());
  m_items.pop_front();
  return true;
}

bool CNotificationQueue::TryPop(HostNotification* out) {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (m_items.empty()) return false;
  *out = std::move(m_items.front());
  m_items.pop_front();
  return true;
}

void CNotificationQueue::Wake() {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_woken = true;
  }
  m_cond.notify_all();
}

int CNotificationQueue::ReadableFd() {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (m_fd == -2) {
    m_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd >= 0 && !m_items.empty()) {
      uint64_t one = 1;
      ssize_t written = write(m_fd, &one, sizeof one);
      (void)written;
    }
  }
  return m_fd;
}

void CNotificationQueue::ClearReadable() {
  int fd;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    fd = m_fd;
  }
  if (fd < 0) return;
  uint64_t count;
  ssize_t got = read(fd, &count, sizeof count);
  (void)got;
}

CNotificationQueue::~CNotificationQueue() {
  if (m_fd >= 0) close(m_fd);
}
