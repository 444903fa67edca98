#include "host/closingtabs.h"

#include "platform/text.h"

void CClosingTabs::Add(const std::wstring& uuid, const std::wstring& title, const std::wstring& url) {
  if (!m_recording) return;
  SessionTab tab{platform::WideToUtf8(uuid), platform::WideToUtf8(title), platform::WideToUtf8(url)};
  platform::CMutexLock lock(m_mutex);
  m_tabs.push_back(std::move(tab));
}

std::vector<SessionTab> CClosingTabs::Tabs() {
  platform::CMutexLock lock(m_mutex);
  return m_tabs;
}
