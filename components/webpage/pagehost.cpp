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
  if (m_successor || !m_replacing || CurrentState() == State::Closed) return false;
  m_deferred.push_back(order);
  return true;
}

HRESULT CPageCore::Submit(const Order& order) {
  if (Defer(order)) return S_OK;
  if (std::shared_ptr<CPageCore> next = Successor()) return next->Submit(order);
  State state = CurrentState();
  if (state == State::Crashed && !BrowserAlive() && order.kind != OrderKind::CloseTab) return ReviveFor(order);
  bool allowed = state == State::Crashed && (order.kind == OrderKind::CloseTab || Revives(order));
  if (state != State::Open && !allowed) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: the page " +
               (state == State::Crashed ? "has crashed" : "is closed"));
    if (state == State::Crashed) {
      // Told as an event too: the host's interface shows what became of the order.
      Emit(L"ORDERUNSUPPORTED", {{L"CMD", order.name},
                                 {L"REASON", BrowserAlive() ? L"the page has crashed; REFRESH or NAVIGATE brings it back"
                                                            : L"the page has crashed with its browser"}});
    }
    return E_FAIL;
  }
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
    if (m_replacing && !m_successor) {
      m_deferred.push_back(order);
      return S_OK;
    }
    m_replacing = true;
  }
  std::shared_ptr<CPageCore> self = shared_from_this();
  if (!m_engine->Post([self, order] { self->m_engine->Revive(self, order); })) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: the page manager has been released");
    platform::CMutexLock guard(m_mutex);
    m_replacing = false;
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
    platform::CMutexPairLock guard(m_mutex, dead.m_mutex);
    closed = dead.CurrentState() == State::Closed;
    deferred.swap(dead.m_deferred);
    dead.m_replacing = false;
    fontSize = dead.m_fontSize;
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
  if (fontSize != m_fontSize) {
    m_fontSize = fontSize;
    ApplyFontSize(fontSize);
  }
  if (dead.m_muted) SetAudio(false);
  if (order && order->kind != OrderKind::Navigate && WorthKeeping(dead.m_report.Url())) Navigate(dead.m_report.Url());
  if (order && order->kind != OrderKind::Refresh) Execute(*order);
  for (const Order& next : deferred) Execute(next);
}

void CPageCore::NotRevived(const Order& order, const std::string& error) {
  std::deque<Order> orders;
  {
    platform::CMutexLock guard(m_mutex);
    orders.swap(m_deferred);
    m_replacing = false;
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
    orders.swap(m_deferred);
    m_replacing = false;
    State starting = State::Starting;
    closed = !m_state.compare_exchange_strong(starting, State::Crashed);
  }
  if (!closed) m_crashes.Add();
  if (closed) return;
  LogError(Describe() + " could not be set up (" + status + "): " + error +
           (orders.empty() ? "" : "; " + std::to_string(orders.size()) + " order(s) not carried out"));
  // Like a page whose Chromium died: the next order tries again.
  Emit(L"PROCESSCRASH", {{L"STATUS", Wide(status)}});
  RefuseDeferred(std::move(orders), SetupFailureReason(status), true);
}

void CPageCore::RefuseDeferred(std::deque<Order> orders, const std::wstring& reason, bool navigationErrors) {
  for (const Order& order : orders) {
    if (order.kind == OrderKind::CloseTab) {
      Execute(order);  // a page that does not work can still be closed
      continue;
    }
    if (navigationErrors && (order.kind == OrderKind::Navigate || order.kind == OrderKind::GoHome)) {
      std::wstring url = order.kind == OrderKind::Navigate ? order.text : m_engine->Options().homePage;
      Emit(L"NAVIGATEERROR", {{L"ERROR", reason}, {L"STATUS", L"0"}, {L"URL", url}});
    }
    Emit(L"ORDERUNSUPPORTED", {{L"CMD", order.name}, {L"REASON", reason}});
  }
}

HRESULT CPageCore::Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->Subscribe(key, std::move(sink), cookie);
  if (cookie) *cookie = 0;
  if (!key || !*key || !sink) {
    LogWarning(Describe() + ": Subscribe needs a key and a sink");
    return E_INVALIDARG;
  }
  if (!CEventHub::IsKnown(key)) LogWarning(Describe() + ": nothing is ever sent for \"" + Utf8(key) + "\"");
  uintptr_t given = m_hub->Subscribe(key, std::move(sink));
  if (cookie) *cookie = given;
  return S_OK;
}

HRESULT CPageCore::SetData(const wchar_t* name, const wchar_t* value) {
  if (std::shared_ptr<CPageCore> next = Successor()) return next->SetData(name, value);
  if (!name || std::wstring(name) != L"font.size") {
    LogWarning(Describe() + ": SetData of unknown name \"" + (name ? Utf8(name) : std::string("(null)")) + "\"");
    return E_INVALIDARG;
  }
  uint32_t size = 0;
  if (!ParseFontSize(value, &size)) {
    LogWarning(Describe() + ": font.size must be 0 to 4, not \"" + (value ? Utf8(value) : std::string("(null)")) + "\"");
    return E_INVALIDARG;
  }
  std::shared_ptr<CPageCore> next;
  {
    // Under the lock: a page that takes over from this one reads the size under it.
    platform::CMutexLock guard(m_mutex);
    next = m_successor;
    if (!next) m_fontSize = size;
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
  if (!value) return E_POINTER;
  *value = nullptr;
  std::wstring key = name ? name : L"";
  std::wstring text;
  if (key == L"font.size") {
    text = std::to_wstring(m_fontSize.load());
  } else if (key == L"TRAVELLOG_BACK" || key == L"TRAVELLOG_FORE") {
    // Asked fresh from Chromium where waiting is safe; the last known history otherwise.
    if (CurrentState() == State::Open && !m_engine->OnEngineThread()) {
      Json reply;
      if (m_browser->Connection()->Call("Page.getNavigationHistory", Json::object(), m_sessionId, pagecore::kHistoryTimeout,
                                        &reply)) {
        StoreHistory(Field(reply, "result"));
      }
    }
    platform::CMutexLock guard(m_mutex);
    text = key == L"TRAVELLOG_BACK" ? BuildBackTravelLog(m_history) : BuildForeTravelLog(m_history);
  } else {
    LogWarning(Describe() + ": GetData of unknown name \"" + Utf8(key) + "\"");
    return E_INVALIDARG;
  }
  *value = m_given.Give(text);
  return S_OK;
}

HRESULT CPageCore::FreeData(wchar_t* value) {
  if (!value) return S_OK;
  if (m_given.Take(value)) return S_OK;
  // Given out by the page that came back in a new Chromium, maybe.
  if (std::shared_ptr<CPageCore> next = Successor()) return next->FreeData(value);
  LogError(Describe() + ": FreeData of a text this page did not give out");
  return E_INVALIDARG;
}

}  // namespace webpage
