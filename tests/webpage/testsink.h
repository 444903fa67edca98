#pragma once
// Doubles for the page tests: a sink that records every event it gets, and a capture of
// the component's log.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "components/webpage/weblog.h"
#include "platform/mutex.h"
#include "uicontrol/interfaces/notifystub.h"

namespace webtest {

struct RecordedEvent {
  std::wstring key;
  std::wstring value;
  std::thread::id thread;
};

class CRecordingSink : public INotifOrderStub {
 public:
  using Handler = std::function<void(const std::wstring& key, const std::wstring& value)>;
  // Called on the delivering thread for every event, after it was recorded.
  void SetHandler(Handler handler);

  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT NotifyOrder(const wchar_t* key, const wchar_t* value, int reserved) override;
  HRESULT CreateSHowHideEvent(HWND) override { return S_OK; }

  std::vector<RecordedEvent> Events() const;
  // Waits until some event after position `from` has this key and a value holding
  // `part`; returns its position, or -1 when the time runs out.
  int WaitFor(const std::wstring& key, const std::wstring& part = L"", size_t from = 0,
              std::chrono::seconds timeout = std::chrono::seconds(60));
  size_t Count() const;
  // The value of a line "name=" of an event text.
  static std::wstring Param(const std::wstring& value, const std::wstring& name);

 private:
  // The position of the first event with `key` and a value holding `part` at or after
  // `from`, or -1.
  int Find(const std::wstring& key, const std::wstring& part, size_t from) const REQUIRES(m_mutex);

  mutable platform::CMutex m_mutex;
  platform::CCondition m_changed;
  std::vector<RecordedEvent> m_events GUARDED_BY(m_mutex);
  Handler m_handler GUARDED_BY(m_mutex);
};

// A one-shot flag to wait for, set from any thread.
class CSignal {
 public:
  void Set() {
    // Notified under the lock: the waiter may destroy the signal as soon as it wakes.
    platform::CMutexLock guard(m_mutex);
    m_set = true;
    m_changed.NotifyAll();
  }
  bool Wait(std::chrono::seconds timeout = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    platform::CMutexLock lock(m_mutex);
    while (!m_set) {
      if (!m_changed.WaitUntil(lock, deadline)) return m_set;
    }
    return true;
  }

 private:
  platform::CMutex m_mutex;
  platform::CCondition m_changed;
  bool m_set GUARDED_BY(m_mutex) = false;
};

class CLogCapture {
 public:
  CLogCapture();
  ~CLogCapture();
  bool Contains(const std::string& part) const;
  // Waits for an entry holding `part` (log entries may come from the engine thread).
  bool WaitFor(const std::string& part, std::chrono::seconds timeout = std::chrono::seconds(60)) const;
  std::vector<std::string> Entries() const;

 private:
  struct Shared {
    platform::CMutex mutex;
    platform::CCondition changed;
    std::vector<std::string> entries GUARDED_BY(mutex);
    bool Holds(const std::string& part) const REQUIRES(mutex);
  };
  std::shared_ptr<Shared> m_shared;
};

}  // namespace webtest
