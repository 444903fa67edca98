#pragma once
// Doubles for the page tests: a sink that records every event it gets, and a capture of
// the component's log.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "components/webpage/weblog.h"
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
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<RecordedEvent> m_events;
  Handler m_handler;
};

// A one-shot flag to wait for, set from any thread.
class CSignal {
 public:
  void Set() {
    // Notified under the lock: the waiter may destroy the signal as soon as it wakes.
    std::lock_guard<std::mutex> guard(m_mutex);
    m_set = true;
    m_changed.notify_all();
  }
  bool Wait(std::chrono::seconds timeout = std::chrono::seconds(60)) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_set; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_set = false;
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
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> entries;
  };
  std::shared_ptr<Shared> m_shared;
};

}  // namespace webtest
