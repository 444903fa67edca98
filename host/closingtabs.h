#pragma once
// The tabs closed while the host quits: what the next start offers to reopen. The page
// engine's recovery hook adds them from its own thread once Begin was called.
#include <atomic>
#include <string>
#include <vector>

#include "host/luashell.h"
#include "platform/mutex.h"

class CClosingTabs {
 public:
  void Begin() { m_recording = true; }
  void Add(const std::wstring& uuid, const std::wstring& title, const std::wstring& url);
  std::vector<SessionTab> Tabs();

 private:
  std::atomic<bool> m_recording{false};
  platform::CMutex m_mutex;
  std::vector<SessionTab> m_tabs GUARDED_BY(m_mutex);
};
