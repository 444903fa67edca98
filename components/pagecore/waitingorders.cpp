#include "components/pagecore/waitingorders.h"

namespace pagecore {

using webpage::Order;
using webpage::OrderKind;

bool WorthKeeping(const std::wstring& url) {
  return !url.empty() && url != L"about:blank" && url.compare(0, 13, L"chrome-error:") != 0;
}

bool CWaitingOrders::Begin() {
  platform::CMutexLock guard(m_mutex);
  if (m_waiting) return false;
  m_waiting = true;
  return true;
}

bool CWaitingOrders::Keep(const Order& order) {
  platform::CMutexLock guard(m_mutex);
  if (!m_waiting) return false;
  m_orders.push_back(order);
  return true;
}

bool CWaitingOrders::Waiting() const {
  platform::CMutexLock guard(m_mutex);
  return m_waiting;
}

std::deque<Order> CWaitingOrders::End() {
  std::deque<Order> orders;
  platform::CMutexLock guard(m_mutex);
  m_waiting = false;
  orders.swap(m_orders);
  return orders;
}

RevivalPlan PlanRevival(const Order& order, const std::wstring& lastUrl) {
  RevivalPlan plan;
  plan.restoreLastPage = order.kind != OrderKind::Navigate && order.kind != OrderKind::CloseTab && WorthKeeping(lastUrl);
  plan.runOrder = order.kind != OrderKind::Refresh;
  return plan;
}

void RefuseWaitingOrders(const std::deque<Order>& orders, const WaitingRefusal& refusal) {
  for (const Order& order : orders) {
    if (order.kind == OrderKind::CloseTab) {
      if (refusal.close) refusal.close(order);  // a page that does not work can still be closed
      continue;
    }
    if (refusal.navigationErrors && (order.kind == OrderKind::Navigate || order.kind == OrderKind::GoHome)) {
      const std::wstring url = order.kind == OrderKind::Navigate ? order.text : refusal.homePage;
      refusal.emit(L"NAVIGATEERROR", {{L"ERROR", refusal.reason}, {L"STATUS", L"0"}, {L"URL", url}});
    }
    refusal.emit(L"ORDERUNSUPPORTED", {{L"CMD", order.name}, {L"REASON", refusal.reason}});
  }
}

}  // namespace pagecore
