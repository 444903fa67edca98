#include "doubles/fakewebpage.h"

#include <cstring>

using qxdk::UTIL::com_ptr;

FakeWebPage::FakeWebPage() : m_eventThread(&FakeWebPage::EventLoop, this, m_queue) {}

FakeWebPage::~FakeWebPage() {
  {
    std::lock_guard<std::mutex> guard(m_queue->mutex);
    m_queue->stop = true;
  }
  m_queue->cond.notify_all();
  // The last release may come from the event thread itself (a sink dropping the page);
  // the thread then leaves on its own, holding only the queue.
  if (m_eventThread.get_id() == std::this_thread::get_id()) {
    m_eventThread.detach();
  } else {
    m_eventThread.join();
  }
}

HRESULT FakeWebPage::QueryInterface(const GUID& riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IWebPage::iid) {
    *ppv = static_cast<IWebPage*>(this);
  } else if (riid == IWebPageNotifier::iid && answerNotifier) {
    *ppv = static_cast<IWebPageNotifier*>(this);
  } else if (riid == IWebPageData::iid && answerData) {
    *ppv = static_cast<IWebPageData*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

namespace {

// The order's CMD value, read as the page component reads it: key=value lines, the
// last value of a repeated key counts.
bool IsCloseOrder(const std::wstring& order) {
  std::wstring cmd;
  size_t start = 0;
  while (start <= order.size()) {
    size_t end = order.find(L'\n', start);
    if (end == std::wstring::npos) end = order.size();
    const std::wstring line = order.substr(start, end - start);
    if (line.compare(0, 4, L"CMD=") == 0) cmd = line.substr(4);
    start = end + 1;
  }
  return cmd == L"ClOSETAB";
}

}  // namespace

HRESULT FakeWebPage::SendOrder(const wchar_t* order) {
  std::vector<std::pair<std::wstring, std::shared_ptr<INotifOrderStub>>> released;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    static std::atomic<long> sequence{0};
    m_orders.push_back(order ? order : L"");
    m_orderSeq.push_back(++sequence);
    if (IsCloseOrder(m_orders.back())) {
      m_closed = true;
      released.swap(m_sinks);
    }
  }
  m_cond.notify_all();
  // The sinks are let go last, outside the lock: the tab record may go with them, and
  // with the record the last reference to this page.
  return S_OK;
}

HRESULT FakeWebPage::Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_subscribedKeys.push_back(key);
  if (!m_closed) m_sinks.emplace_back(key, std::move(sink));
  if (cookie) *cookie = m_subscribedKeys.size();
  return S_OK;
}

HRESULT FakeWebPage::SetData(const wchar_t* name, const wchar_t* value) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_dataSet[name] = value ? value : L"";
  return S_OK;
}

HRESULT FakeWebPage::GetData(const wchar_t* name, wchar_t** value) {
  std::lock_guard<std::mutex> guard(m_mutex);
  auto it = m_values.find(name);
  if (it == m_values.end()) {
    *value = nullptr;
    return S_FALSE;
  }
  *value = new wchar_t[it->second.size() + 1];
  std::wmemcpy(*value, it->second.c_str(), it->second.size() + 1);
  ++m_outstanding;
  return S_OK;
}

HRESULT FakeWebPage::FreeData(wchar_t* value) {
  if (value) {
    delete[] value;
    --m_outstanding;
  }
  return S_OK;
}

std::vector<std::wstring> FakeWebPage::Orders() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_orders;
}

std::vector<long> FakeWebPage::OrderSequence() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_orderSeq;
}

std::vector<std::wstring> FakeWebPage::SubscribedKeys() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_subscribedKeys;
}

std::vector<std::weak_ptr<INotifOrderStub>> FakeWebPage::Sinks() {
  std::lock_guard<std::mutex> guard(m_mutex);
  std::vector<std::weak_ptr<INotifOrderStub>> sinks;
  for (const auto& s : m_sinks) sinks.push_back(s.second);
  return sinks;
}

bool FakeWebPage::Closed() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_closed;
}

std::map<std::wstring, std::wstring> FakeWebPage::DataSet() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_dataSet;
}

bool FakeWebPage::WaitForOrders(size_t count, std::chrono::seconds deadline) {
  std::unique_lock<std::mutex> guard(m_mutex);
  return m_cond.wait_for(guard, deadline, [&] { return m_orders.size() >= count; });
}

void FakeWebPage::Fire(const std::wstring& key, const std::wstring& value) {
  std::vector<std::shared_ptr<INotifOrderStub>> sinks;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const auto& s : m_sinks) {
      if (s.first == key) sinks.push_back(s.second);
    }
  }
  for (const auto& sink : sinks) sink->NotifyOrder(key.c_str(), value.c_str(), 0);
}

void FakeWebPage::FireAsync(const std::wstring& key, const std::wstring& value) {
  {
    std::lock_guard<std::mutex> guard(m_queue->mutex);
    m_queue->events.emplace_back(key, value);
    ++m_queue->pending;
  }
  m_queue->cond.notify_all();
}

void FakeWebPage::WaitEventsDelivered() {
  std::unique_lock<std::mutex> guard(m_queue->mutex);
  m_queue->cond.wait_for(guard, std::chrono::seconds(60), [&] { return m_queue->pending == 0; });
}

void FakeWebPage::SetValue(const std::wstring& name, const std::wstring& value) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_values[name] = value;
}

void FakeWebPage::EventLoop(FakeWebPage* page, std::shared_ptr<EventQueue> queue) {
  std::unique_lock<std::mutex> guard(queue->mutex);
  for (;;) {
    queue->cond.wait(guard, [&] { return queue->stop || !queue->events.empty(); });
    if (queue->stop) return;
    auto event = queue->events.front();
    queue->events.pop_front();
    guard.unlock();
    page->Fire(event.first, event.second);  // the page may be gone after this
    guard.lock();
    --queue->pending;
    queue->cond.notify_all();
  }
}

HRESULT FakeWebPageManager::QueryInterface(const GUID& riid, void** ppv) {
  if (riid != IID_IUnknown && riid != IWebPageManager::iid) return E_NOINTERFACE;
  *ppv = static_cast<IWebPageManager*>(this);
  AddRef();
  return S_OK;
}

HRESULT FakeWebPageManager::NewPage(void*, IWebPage** page) { return Create(nullptr, page); }

HRESULT FakeWebPageManager::NewLinkPage(void*, IWebPage* parent, IWebPage** page) { return Create(parent, page); }

HRESULT FakeWebPageManager::Create(IWebPage* parent, IWebPage** page) {
  *page = nullptr;
  if (FAILED(refuseWith)) return refuseWith;
  if (succeedWithNull) return S_OK;
  com_ptr<FakeWebPage> spPage(new FakeWebPage());
  spPage->parentPage = parent;
  if (configure) configure(*spPage);
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (keepPages) m_pages.push_back(spPage);
    ++m_created;
  }
  m_cond.notify_all();
  spPage->AddRef();
  *page = spPage.get();
  return S_OK;
}

std::vector<com_ptr<FakeWebPage>> FakeWebPageManager::Pages() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_pages;
}

com_ptr<FakeWebPage> FakeWebPageManager::LastPage() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_pages.empty() ? nullptr : m_pages.back();
}

bool FakeWebPageManager::WaitForPages(size_t count, std::chrono::seconds deadline) {
  std::unique_lock<std::mutex> guard(m_mutex);
  return m_cond.wait_for(guard, deadline, [&] { return m_created >= count; });
}

void FakeWebPageManager::ForgetPages() {
  std::vector<com_ptr<FakeWebPage>> pages;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    pages.swap(m_pages);
  }
}
