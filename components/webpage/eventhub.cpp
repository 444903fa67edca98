#include "components/webpage/eventhub.h"

#include <exception>

#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace webpage {
namespace {

const wchar_t* const kKeptKeys[] = {
    L"CHLIDHANDLE",       L"SHOWIEWND",        L"TITLECHANGE",   L"ICONCHANGE",
    L"PROGRESSCHANGE",    L"BACKFORWARDSTATECHANGE", L"GOFORWARDSTATECHANGE",
    L"NAVIGATECOMPLETE",  L"DOCUMENTCOMPLETE", L"NAVIGATEERROR", L"STATEXTCHANGED",
    L"PROCESSCRASH",      L"CLOSEWNDNOTIFTY",  L"AUDIOSTATECHANGE", L"BLOCKEDCOUNT",
};

const wchar_t* const kOtherKeys[] = {
    L"BEFORENAVIGATE", L"NEWINDOW",      L"POPBLOCK",         L"SHOWADDFAVWND", L"SHOWEDITFAVWND",
    L"SAVECOMPLETE",   L"FINDRESULT",    L"ORDERUNSUPPORTED", L"PAGETEXT",         L"HINTS",
    L"PAGEUNRESPONSIVE",
    // Subscribed by the host but never sent: the engine keeps no list of blocked addresses.
    L"BLOCKURLTOUCH",
};

}  // namespace

CEventHub::CEventHub(Poster post, ThreadCheck onEngineThread)
    : m_post(std::move(post)), m_onEngineThread(std::move(onEngineThread)) {}

bool CEventHub::IsKept(const std::wstring& key) {
  for (const wchar_t* kept : kKeptKeys) {
    if (key == kept) return true;
  }
  return false;
}

bool CEventHub::IsKnown(const std::wstring& key) {
  if (IsKept(key)) return true;
  for (const wchar_t* other : kOtherKeys) {
    if (key == other) return true;
  }
  return false;
}

void CEventHub::Deliver(const Sinks& sinks, const std::wstring& key, const std::wstring& value) {
  for (const auto& sink : sinks) {
    try {
      sink->NotifyOrder(key.c_str(), value.c_str(), 0);
    } catch (const std::exception& e) {
      LogError("a sink of " + platform::WideToUtf8(key) + " threw: " + e.what());
    } catch (...) {
      LogError("a sink of " + platform::WideToUtf8(key) + " threw");
    }
  }
}

uintptr_t CEventHub::Subscribe(const std::wstring& key, std::shared_ptr<INotifOrderStub> sink) {
  platform::CMutexLock guard(m_mutex);
  uintptr_t cookie = m_nextCookie++;
  auto kept = m_kept.find(key);
  if (kept != m_kept.end()) PostDelivery(Sinks{sink}, key, kept->second);
  if (!m_released) m_sinks[key].push_back(std::move(sink));
  return cookie;
}

void CEventHub::Emit(const std::wstring& key, const std::wstring& value) {
  Sinks sinks;
  {
    platform::CMutexLock guard(m_mutex);
    if (IsKept(key)) m_kept[key] = value;
    auto it = m_sinks.find(key);
    if (it == m_sinks.end() || it->second.empty()) return;
    // Inside a delivery (a sink that makes the page emit) the count is not 0 either, so
    // a nested event is posted behind the one being delivered.
    const bool atOnce = m_onEngineThread && m_waiting->load() == 0 && m_onEngineThread();
    if (!atOnce) {
      PostDelivery(it->second, key, value);
      return;
    }
    sinks = it->second;
    m_waiting->fetch_add(1);
  }
  Deliver(sinks, key, value);  // without the lock: a sink may subscribe or emit
  m_waiting->fetch_sub(1);
}

void CEventHub::PostDelivery(Sinks sinks, const std::wstring& key, const std::wstring& value) {
  std::shared_ptr<std::atomic<int>> waiting = m_waiting;
  waiting->fetch_add(1);
  // A task dropped by a stopped engine leaves the count raised: nothing is delivered inline
  // after that, and there is nothing left to deliver on.
  if (!m_post([sinks = std::move(sinks), key, value, waiting] {
        Deliver(sinks, key, value);
        waiting->fetch_sub(1);
      })) {
    waiting->fetch_sub(1);
  }
}

void CEventHub::Forget(const std::wstring& key) {
  platform::CMutexLock guard(m_mutex);
  m_kept.erase(key);
}

bool CEventHub::Kept(const std::wstring& key, std::wstring* value) const {
  platform::CMutexLock guard(m_mutex);
  auto it = m_kept.find(key);
  if (it == m_kept.end()) return false;
  *value = it->second;
  return true;
}

void CEventHub::ReleaseSinks() {
  std::map<std::wstring, Sinks> released;
  {
    platform::CMutexLock guard(m_mutex);
    m_released = true;
    released.swap(m_sinks);
  }
  // The sinks are let go here, outside the lock.
}

}  // namespace webpage
