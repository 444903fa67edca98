#include "host/notificationqueue.h"

#include <unistd.h>

#include <cstdint>
#include <cwchar>

#include "logging/logging.h"

namespace {

// Events of which only the newest matters to an interface that fell behind.
bool IsDroppable(const HostNotification& n) {
  return n.kind == HostNotification::Tab && (n.key == L"PROGRESSCHANGE" || n.key == L"STATEXTCHANGED");
}

}  // namespace

CNotificationQueue::CNotificationQueue(size_t limit)
    : m_loop("notification queue", platform::CTaskLoop::Mode::Drained, platform::CTaskLoop::OnStop::Drop) {
  m_loop.SetLimit(limit);
  m_loop.SetReportHook([](const std::string& line) { LOG_AT(logging::LOG_WARNING) << "notifications: " << line; });
  m_loop.Start();
}

CNotificationQueue::~CNotificationQueue() { m_loop.Stop(); }

void CNotificationQueue::Push(HostNotification notification) {
  platform::CTaskLoop::PostOptions options;
  options.droppable = IsDroppable(notification);
  if (notification.kind == HostNotification::Tab && notification.key == L"PROGRESSCHANGE") {
    // One key per tab (low bit set, so that tab 0 has a key too).
    options.replaceKey = (static_cast<uint64_t>(notification.uID) << 1) | 1;
  }
  m_loop.PostWith(options, [this, n = std::move(notification)] {
    ++m_handed;
    if (m_handler) (*m_handler)(n);
  });
}

size_t CNotificationQueue::Dispatch(const Handler& handler) {
  m_handler = &handler;
  m_handed = 0;
  m_loop.RunPending();
  m_handler = nullptr;
  return m_handed;
}

int CNotificationQueue::ReadableFd() { return m_loop.WakeFd(); }

void CNotificationQueue::ClearReadable() {
  const int fd = m_loop.WakeFd();
  if (fd < 0) return;
  uint64_t count;
  ssize_t got = read(fd, &count, sizeof count);
  (void)got;
}
