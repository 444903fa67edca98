#pragma once
// Windows a page opens (a link with target=_blank, window.open, "VIEWSOURCE"): whether
// one may open, and those that wait, oldest first, for the host to adopt them as pages
// (NewLinkPage). The engine makes and ends the windows; `Handle` is its name for one.
#include <chrono>
#include <deque>
#include <string>
#include <utility>

#include "components/pagecore/pagereport.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/ratelimit.h"
#include "platform/mutex.h"

namespace pagecore {

// What a window a page asks for becomes.
enum class WindowVerdict {
  Open,     // made, and told to the host ("NEWINDOW") to wait for it
  Refused,  // refused and told ("POPBLOCK")
  Dropped,  // refused faster than refusals are told: left out (logged once per document)
};

struct WindowRequest {
  std::wstring url;
  bool userGesture = false;
  // The engine's own popup blocker refused it already (Chromium's); otherwise the core
  // refuses windows opened without a user gesture when popups are blocked.
  bool refusedByEngine = false;
};

// Decides on a window the page asks for and tells the host of a refusal. Engine's page
// thread: `budget` and `doc` are the page's. `logRefusal` writes the refusal's log line
// (the page's coalescing log); without it the line goes straight to the log.
WindowVerdict JudgeOpenedWindow(const WindowRequest& request, bool blockPopups, webpage::CEventBudget& budget,
                                CPageReport::Document& doc, const std::string& page,
                                const std::function<void(const wchar_t*, const webpage::KeyValues&)>& emit,
                                const std::function<void(const std::string&)>& logRefusal = {});

template <class Handle>
class COpenedWindows {
 public:
  void Add(Handle handle, std::wstring url) {
    platform::CMutexLock guard(m_mutex);
    m_windows.push_back({std::move(handle), std::move(url)});
  }
  // The window learnt its address after it was told.
  void SetUrl(const Handle& handle, const std::wstring& url) {
    if (url.empty()) return;
    platform::CMutexLock guard(m_mutex);
    for (Entry& entry : m_windows) {
      if (entry.handle == handle) entry.url = url;
    }
  }
  // The window went before the host adopted it.
  void Remove(const Handle& handle) {
    platform::CMutexLock guard(m_mutex);
    for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
      if (it->handle == handle) {
        m_windows.erase(it);
        return;
      }
    }
  }
  // Any thread: the oldest waiting window, for the host to adopt; false when none waits.
  bool TakeOldest(Handle* handle) {
    platform::CMutexLock guard(m_mutex);
    if (m_windows.empty()) return false;
    *handle = std::move(m_windows.front().handle);
    m_windows.pop_front();
    return true;
  }
  // Every waiting window (their opener closes: they end with it).
  std::deque<Handle> TakeAll() {
    std::deque<Handle> handles;
    platform::CMutexLock guard(m_mutex);
    for (Entry& entry : m_windows) handles.push_back(std::move(entry.handle));
    m_windows.clear();
    return handles;
  }
  size_t Count() const {
    platform::CMutexLock guard(m_mutex);
    return m_windows.size();
  }

 private:
  struct Entry {
    Handle handle;
    std::wstring url;
  };
  mutable platform::CMutex m_mutex;
  std::deque<Entry> m_windows GUARDED_BY(m_mutex);
};

}  // namespace pagecore
