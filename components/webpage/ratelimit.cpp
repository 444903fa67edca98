#include "components/webpage/ratelimit.h"

#include <algorithm>

namespace webpage {

CLatestValueGate::Decision CLatestValueGate::Offer(SteadyTime now, std::chrono::milliseconds* delay,
                                                   uint64_t* ticket) {
  if (m_flushScheduled) return Decision::Waiting;
  if (!m_sentBefore || now - m_lastSent >= m_gap) {
    m_sentBefore = true;
    m_lastSent = now;
    return Decision::SendNow;
  }
  auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(m_lastSent + m_gap - now);
  *delay = std::max(wait, std::chrono::milliseconds(1));
  *ticket = m_ticket;
  m_flushScheduled = true;
  return Decision::ScheduleFlush;
}

bool CLatestValueGate::Flush(SteadyTime now, uint64_t ticket) {
  if (ticket != m_ticket || !m_flushScheduled) return false;
  m_flushScheduled = false;
  m_sentBefore = true;
  m_lastSent = now;
  return true;
}

void CLatestValueGate::Reset() {
  m_sentBefore = false;
  m_flushScheduled = false;
  ++m_ticket;
}

bool CEventBudget::Allow(SteadyTime now) {
  if (!m_started) {
    m_started = true;
    m_last = now;
  } else if (m_tokens < m_burst && m_refill.count() > 0) {
    auto earned = (now - m_last) / m_refill;
    if (earned > 0) {
      m_tokens = static_cast<int>(std::min<decltype(earned)>(m_burst, m_tokens + earned));
      m_last = m_tokens == m_burst ? now : m_last + earned * m_refill;
    }
  } else if (m_tokens >= m_burst) {
    m_last = now;
  }
  if (m_tokens > 0) {
    --m_tokens;
    return true;
  }
  ++m_dropped;
  return false;
}

uint64_t CEventBudget::TakeDropped() {
  uint64_t dropped = m_dropped;
  m_dropped = 0;
  return dropped;
}

}  // namespace webpage
