#include "components/pagecore/crashrecord.h"

#include "components/webpage/pageoutcomes.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace pagecore {

void CCrashRecord::Add(Clock::time_point when) {
  platform::CMutexLock guard(m_mutex);
  m_crashes.push_back(when);
}

int CCrashRecord::Recent(Clock::time_point now) {
  platform::CMutexLock guard(m_mutex);
  while (!m_crashes.empty() && now - m_crashes.front() > m_window) m_crashes.pop_front();
  return static_cast<int>(m_crashes.size());
}

bool CCrashRecord::Refuses(bool userAsked, int limit, Clock::time_point now) {
  return !userAsked && Recent(now) >= limit;
}

bool CCrashRecord::RefusesOrder(const webpage::Order& order, int limit, const std::string& name,
                                const std::function<void(const wchar_t*, const webpage::KeyValues&)>& emit) {
  const bool asked = order.kind == webpage::OrderKind::Refresh || order.kind == webpage::OrderKind::Navigate;
  if (!Refuses(asked, limit)) return false;
  webpage::LogWarning(name + ": order " + platform::WideToUtf8(order.name) + " dropped: " +
                      webpage::CrashLimitText(limit, m_window));
  for (const auto& event : webpage::CrashLimitEvents(order.name, limit, m_window)) emit(event.key, event.values);
  return true;
}

void CCrashRecord::CopyFrom(CCrashRecord& other) {
  if (&other == this) return;
  std::deque<Clock::time_point> crashes;
  {
    platform::CMutexLock guard(other.m_mutex);
    crashes = other.m_crashes;
  }
  platform::CMutexLock guard(m_mutex);
  m_crashes = std::move(crashes);
}

}  // namespace pagecore
