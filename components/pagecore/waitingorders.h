#pragma once
// Orders that wait for a page to be ready (a page being made, or brought back after its
// renderer or engine died), and what a revival does, decided once for every engine.
#include <deque>
#include <functional>
#include <string>

#include "components/webpage/keyvaluetext.h"
#include "components/webpage/orders.h"
#include "platform/mutex.h"

namespace pagecore {

// Whether a page at `url` is worth showing again after a crash or keeping for recovery:
// not an empty page, nor an engine's error page.
bool WorthKeeping(const std::wstring& url);

// The orders a page keeps, in the order they came, while it is not ready. Any thread.
class CWaitingOrders {
 public:
  // Orders are kept from now on; false when they already were.
  bool Begin();
  // Keeps `order` when orders are being kept; false (not kept) otherwise.
  bool Keep(const webpage::Order& order);
  bool Waiting() const;
  // Ends the wait and hands over what was kept, oldest first.
  std::deque<webpage::Order> End();

 private:
  mutable platform::CMutex m_mutex;
  bool m_waiting GUARDED_BY(m_mutex) = false;
  std::deque<webpage::Order> m_orders GUARDED_BY(m_mutex);
};

// What a page brought back by `order` does, with `lastUrl` the address it showed when its
// renderer died: it shows that page again first unless the order goes elsewhere (or
// closes it), and runs the order itself unless it only asked for the page again (REFRESH).
struct RevivalPlan {
  bool restoreLastPage = false;
  bool runOrder = false;
};
RevivalPlan PlanRevival(const webpage::Order& order, const std::wstring& lastUrl);

// What the host is told of orders that were kept for a page that cannot be made or
// brought back: "ClOSETAB" still closes it (`close`); "NAVIGATE" and "GOHOME" also fail
// as navigations when `navigationErrors` (a page that never existed); every other order
// gets "ORDERUNSUPPORTED" with `reason`.
struct WaitingRefusal {
  std::wstring reason;
  bool navigationErrors = false;
  std::wstring homePage;
  std::function<void(const wchar_t* key, const webpage::KeyValues& values)> emit;
  std::function<void(const webpage::Order& closeOrder)> close;
};
void RefuseWaitingOrders(const std::deque<webpage::Order>& orders, const WaitingRefusal& refusal);

}  // namespace pagecore
