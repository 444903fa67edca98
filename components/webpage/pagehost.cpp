// The Chromium page: the host's calls (orders, subscriptions, named values) from any
// thread, the orders kept while a page is made, and revival in a new Chromium.
#include "components/webpage/pagecore.h"

#include "components/pagecore/orderintake.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <random>

#include "components/pagecore/trust.h"
#include "components/webpage/browser.h"
#include "components/webpage/engine.h"
#include "components/webpage/jsonread.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/origin.h"
#include "components/webpage/pagetext.h"
#include "components/webpage/savefile.h"
#include "components/webpage/weblog.h"
#include "components/webpage/pageoutcomes.h"
#include "components/webpage/pagehelp.h"
#include "platform/text.h"
#include "platform/threadcheck.h"
#include "platform/window.h"

namespace webpage {

using namespace std::chrono_literals;
using namespace pagehelp;

HRESULT CPageCore::SendOrder(const wchar_t* text) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->SendOrder(text);
  Order order;
  const State state = CurrentState();
  auto emit = [this](const wchar_t* key, const KeyValues& values) { Emit(key, values); };
  const HRESULT taken =
      pagecore::TakeOrder(text, state == State::Open || state == State::Starting, Describe(), emit, &order);
  return taken == S_OK ? Submit(order) : taken;
}

bool CPageCore::Defer(const Order& order) {
  platform::CMutexLock guard(m_mutex);
  if (m_successor || CurrentState() == State::Closed) return false;
  return m_waiting.Keep(order);
}

HRESULT CPageCore::Submit(const Order& order) {
  if (Defer(order)) return S_OK;
  if (std::shared_ptr<CPageCore> next = Successor()) return next->Submit(order);
  State state = CurrentState();
  if (pagecore::AlreadyStopped(order, state == State::Crashed, Describe())) return S_OK;
  if (state == State::Crashed && !BrowserAlive() && order.kind != OrderKind::CloseTab) return ReviveFor(order);
  // Chromium starts a new renderer for the page's next load; a page that keeps crashing
  // is loaded again only when the user asks for a page.
  if (!pagecore::MaySubmit(order, state == State::Closed, state == State::Crashed, m_crashes,
                           m_engine->Options().crashLimit, *this))
    return E_FAIL;
  std::shared_ptr<CPageCore> self = shared_from_this();
  if (!m_engine->Post([self, order] { self->Execute(order); })) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: the page manager has been released");
    return E_FAIL;
  }
  return S_OK;
}

HRESULT CPageCore::ReviveFor(const Order& order) {
  // Brought back when commanded, unless it keeps crashing: then only REFRESH or NAVIGATE,
  // the user's own request, tries again.
  auto emit = [this](const wchar_t* key, const KeyValues& values) { Emit(key, values); };
  if (m_crashes.RefusesOrder(order, m_engine->Options().crashLimit, Describe(), emit)) return E_FAIL;
  {
    // One new page at a time: orders that come while it is made wait for it.
    platform::CMutexLock guard(m_mutex);
    if (!m_successor && m_waiting.Keep(order)) return S_OK;
    m_waiting.Begin();
  }
  std::shared_ptr<CPageCore> self = shared_from_this();
  if (!m_engine->Post([self, order] { self->m_engine->Revive(self, order); })) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: the page manager has been released");
    platform::CMutexLock guard(m_mutex);
    m_waiting.End();
    return E_FAIL;
  }
  return S_OK;
}

std::shared_ptr<CPageCore> CPageCore::Successor() const {
  platform::CMutexLock guard(m_mutex);
  return m_successor;
}

void CPageCore::TakeOver(CPageCore& dead, const Order* order) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  std::deque<Order> deferred;
  uint32_t fontSize;
  bool closed;
  {
    // The dead page's size is read where its SetData writes it, so none is lost.
    platform::CMutexPairLock guard(m_mutex, dead.m_mutex);
    closed = dead.CurrentState() == State::Closed;
    deferred = dead.m_waiting.End();
    fontSize = dead.m_data.FontSize();
    if (!closed) dead.m_successor = shared_from_this();
  }
  if (!closed) m_crashes.CopyFrom(dead.m_crashes);
  if (closed) {
    // Released or closed while Chromium made this page: it goes too.
    LogInfo(dead.Describe() + " was closed before " + Describe() + " was ready" +
            (deferred.empty() ? "" : "; " + std::to_string(deferred.size()) + " order(s) dropped"));
    Close(false);
    return;
  }
  if (order) LogInfo(dead.Describe() + " is brought back by " + Utf8(order->name) + " as " + Describe());
  if (fontSize != m_data.FontSize()) {
    m_data.SetFontSize(fontSize);
    ApplyFontSize(fontSize);
  }
  if (dead.m_muted) SetAudio(false);
  if (order) {
    const pagecore::RevivalPlan plan = pagecore::PlanRevival(*order, dead.m_report.Url());
    // A new renderer's page has no history: the dead one's entries are loaded into it.
    const bool taken = plan.restoreLastPage &&
                       pagecore::ShowAgain(dead.m_data.History(), dead.m_report.Url(), *order, *this);
    if (plan.runOrder && !taken) Execute(*order);
  }
  for (const Order& next : deferred) Execute(next);
}

void CPageCore::NotRevived(const Order& order, const std::string& error) {
  std::deque<Order> orders;
  {
    platform::CMutexLock guard(m_mutex);
    orders = m_waiting.End();
  }
  orders.push_front(order);
  LogError(Describe() + ": could not be brought back for " + Utf8(order.name) + ": " + error);
  RefuseDeferred(std::move(orders), L"the page could not be brought back: " + Wide(error), false);
}

void CPageCore::SetupFailed(const std::string& status, const std::string& error) {
  std::deque<Order> orders;
  bool closed;
  {
    platform::CMutexLock guard(m_mutex);
    orders = m_waiting.End();
    State starting = State::Starting;
    closed = !m_state.compare_exchange_strong(starting, State::Crashed);
  }
  if (!closed) m_crashes.Add();
  if (closed) return;
  LogError(Describe() + " could not be set up (" + status + "): " + error +
           (orders.empty() ? "" : "; " + std::to_string(orders.size()) + " order(s) not carried out"));
  // Like a page whose Chromium died: the next order tries again.
  pagecore::ReportCrash(*this, status);
  RefuseDeferred(std::move(orders), SetupFailureReason(status), true);
}

void CPageCore::RefuseDeferred(std::deque<Order> orders, const std::wstring& reason, bool navigationErrors) {
  pagecore::WaitingRefusal refusal;
  refusal.reason = reason;
  refusal.navigationErrors = navigationErrors;
  refusal.homePage = m_engine->Options().homePage;
  refusal.emit = [this](const wchar_t* key, const KeyValues& values) { Emit(key, values); };
  refusal.close = [this](const Order& close) { Execute(close); };
  pagecore::RefuseWaitingOrders(orders, refusal);
}

HRESULT CPageCore::Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->Subscribe(key, std::move(sink), cookie);
  return pagecore::SubscribeSink(*m_hub, Describe(), key, std::move(sink), cookie);
}

HRESULT CPageCore::SetData(const wchar_t* name, const wchar_t* value) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->SetData(name, value);
  uint32_t size = 0;
  if (HRESULT read = pagecore::CPageData::ReadSetData(Describe(), name, value, &size); read != S_OK) return read;
  std::shared_ptr<CPageCore> next;
  {
    // Under the lock: a page that takes over from this one reads the size under it.
    platform::CMutexLock guard(m_mutex);
    next = m_successor;
    if (!next) m_data.SetFontSize(size);
  }
  if (next) return next->SetData(name, value);
  if (CurrentState() != State::Open) return S_OK;
  std::shared_ptr<CPageCore> self = shared_from_this();
  m_engine->Post([self, size] { self->ApplyFontSize(size); });
  return S_OK;
}

void CPageCore::ApplyFontSize(uint32_t size) {
  int standard = FontSizePixels(size);
  Command("Page.setFontSizes", Json{{"fontSizes", {{"standard", standard}, {"fixed", standard * 13 / 16}}}});
}

HRESULT CPageCore::GetData(const wchar_t* name, wchar_t** value) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->GetData(name, value);
  using Name = pagecore::CPageData::Name;
  const Name which = pagecore::CPageData::ReadName(name);
  // The travel logs are asked fresh from Chromium where waiting is safe; the last known
  // history answers otherwise.
  if (value && (which == Name::TravelBack || which == Name::TravelFore) && CurrentState() == State::Open &&
      !m_engine->OnEngineThread()) {
    Json reply;
    if (m_browser->Connection()->Call("Page.getNavigationHistory", Json::object(), m_sessionId, pagecore::kHistoryTimeout,
                                      &reply)) {
      StoreHistory(Field(reply, "result"));
    }
  }
  return m_data.Get(Describe(), name, value);
}

HRESULT CPageCore::FreeData(wchar_t* value) {
  if (!value) return S_OK;
  if (m_data.Free(value)) return S_OK;
  // Given out by the page that came back in a new Chromium, maybe.
  if (std::shared_ptr<CPageCore> next = Successor()) return next->FreeData(value);
  LogError(Describe() + ": FreeData of a text this page did not give out");
  return E_INVALIDARG;
}

}  // namespace webpage
