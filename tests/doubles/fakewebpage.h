#pragma once
// Test doubles of the web page component: a page that records its orders and
// subscriptions, keeps named values, and delivers events on the caller's thread or on a
// thread of its own; and a page manager that creates such pages or refuses to.
// As the real page does, a page lets its sinks go on "ClOSETAB" (and keeps none subscribed
// later), which breaks the cycle page -> sink -> tab record -> page.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "doubles/comobject.h"
#include "uicontrol/interfaces/webpage.h"

class FakeWebPage : public IWebPage, public IWebPageNotifier, public IWebPageData,
                    public CountedObject<FakeWebPage> {
 public:
  FakeWebPage();
  ~FakeWebPage() override;

  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  DOUBLE_IUNKNOWN_REFCOUNT
  HRESULT SendOrder(const wchar_t* order) override;
  HRESULT Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) override;
  HRESULT SetData(const wchar_t* name, const wchar_t* value) override;
  HRESULT GetData(const wchar_t* name, wchar_t** value) override;
  HRESULT FreeData(wchar_t* value) override;

  // What the page was told.
  std::vector<std::wstring> Orders();
  // A process-wide sequence number for each order, to compare arrival across pages.
  std::vector<long> OrderSequence();
  // Every key subscribed, also those whose sinks the page has let go.
  std::vector<std::wstring> SubscribedKeys();
  // The sinks the page holds now (weakly, so that a test can watch them go).
  std::vector<std::weak_ptr<INotifOrderStub>> Sinks();
  // True once "ClOSETAB" has come.
  bool Closed();
  std::map<std::wstring, std::wstring> DataSet();
  // Waits until at least `count` orders arrived; false after the deadline.
  bool WaitForOrders(size_t count, std::chrono::seconds deadline = std::chrono::seconds(30));

  // Delivers an event to every sink subscribed to the key, on the calling thread.
  void Fire(const std::wstring& key, const std::wstring& value);
  // Delivers it on the page's own event thread, in order; WaitEventsDelivered waits for them.
  void FireAsync(const std::wstring& key, const std::wstring& value);
  void WaitEventsDelivered();

  // Values GetData answers (absent names answer null).
  void SetValue(const std::wstring& name, const std::wstring& value);
  int OutstandingData() const { return m_outstanding.load(); }

  bool answerNotifier = true;
  bool answerData = true;
  IWebPage* parentPage = nullptr;  // set for pages created with NewLinkPage

 private:
  // The event thread's queue. The thread shares it rather than reaching it through the
  // page: an event may end with the page destroyed (its sink let the last reference go),
  // and the thread must then find its way out without the page.
  struct EventQueue {
    std::mutex mutex;
    std::condition_variable cond;
    std::deque<std::pair<std::wstring, std::wstring>> events;
    size_t pending = 0;
    bool stop = false;
  };
  static void EventLoop(FakeWebPage* page, std::shared_ptr<EventQueue> queue);

  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::vector<std::wstring> m_orders;
  std::vector<long> m_orderSeq;
  std::vector<std::pair<std::wstring, std::shared_ptr<INotifOrderStub>>> m_sinks;
  std::vector<std::wstring> m_subscribedKeys;
  bool m_closed = false;
  std::map<std::wstring, std::wstring> m_values;
  std::map<std::wstring, std::wstring> m_dataSet;
  std::atomic<int> m_outstanding{0};

  std::shared_ptr<EventQueue> m_queue = std::make_shared<EventQueue>();
  std::thread m_eventThread;
};

class FakeWebPageManager : public IWebPageManager, public CountedObject<FakeWebPageManager> {
 public:
  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  DOUBLE_IUNKNOWN_REFCOUNT
  HRESULT NewPage(void* reserved, IWebPage** page) override;
  HRESULT Reserved(void*) override { return E_NOTIMPL; }
  HRESULT NewLinkPage(void* reserved, IWebPage* parent, IWebPage** page) override;

  // The pages created, in order (the manager keeps a reference to each).
  std::vector<qxdk::UTIL::com_ptr<FakeWebPage>> Pages();
  qxdk::UTIL::com_ptr<FakeWebPage> LastPage();
  bool WaitForPages(size_t count, std::chrono::seconds deadline = std::chrono::seconds(30));
  void ForgetPages();

  HRESULT refuseWith = S_OK;      // a failure status makes NewPage/NewLinkPage fail
  bool succeedWithNull = false;   // success without a page
  bool keepPages = true;
  // Applied to each page before it is handed out.
  std::function<void(FakeWebPage&)> configure;

 private:
  HRESULT Create(IWebPage* parent, IWebPage** page);
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::vector<qxdk::UTIL::com_ptr<FakeWebPage>> m_pages;
  size_t m_created = 0;
};
