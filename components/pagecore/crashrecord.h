#pragma once
// When a page's renderer or engine died lately: a page that keeps crashing is brought back
// only when the user asks for a page (REFRESH, NAVIGATE), not by any order. Any thread.
#include <chrono>
#include <deque>
#include <functional>
#include <string>

#include "components/webpage/keyvaluetext.h"
#include "components/webpage/orders.h"
#include "platform/mutex.h"

namespace pagecore {

class CCrashRecord {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CCrashRecord(std::chrono::milliseconds window) : m_window(window) {}

  void Add(Clock::time_point when = Clock::now());
  // Crashes within the window before `now`.
  int Recent(Clock::time_point now = Clock::now());
  // Whether an order that the user did not ask for as a page (`userAsked` false) is
  // refused: `limit` or more recent crashes.
  bool Refuses(bool userAsked, int limit, Clock::time_point now = Clock::now());
  // Whether `order`, for a crashed page, is refused because the page crashed `limit` times
  // within the window (REFRESH and NAVIGATE, the user's own requests, never are). A refusal
  // is logged under `name` and told through `emit` (ORDERUNSUPPORTED, NAVIGATEERROR).
  bool RefusesOrder(const webpage::Order& order, int limit, const std::string& name,
                    const std::function<void(const wchar_t*, const webpage::KeyValues&)>& emit);
  // Takes over the crashes of a page this one replaces.
  void CopyFrom(CCrashRecord& other);

 private:
  const std::chrono::milliseconds m_window;
  platform::CMutex m_mutex;
  std::deque<Clock::time_point> m_crashes GUARDED_BY(m_mutex);
};

}  // namespace pagecore
