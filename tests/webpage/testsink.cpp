#include "webpage/testsink.h"

#include <cstdio>
#include <cstdlib>

#include "platform/text.h"

namespace webtest {

HRESULT CRecordingSink::QueryInterface(const GUID& riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_INotifySink) return E_NOINTERFACE;
  *ppv = static_cast<INotifOrderStub*>(this);
  return S_OK;
}

HRESULT CRecordingSink::NotifyOrder(const wchar_t* key, const wchar_t* value, int) {
  RecordedEvent event{key ? key : L"", value ? value : L"", std::this_thread::get_id()};
  // WEBPAGE_TEST_TRACE=1 shows every event while a test runs.
  static const bool trace = std::getenv("WEBPAGE_TEST_TRACE") != nullptr;
  if (trace) {
    std::string line = platform::WideToUtf8(event.key + L" " + event.value);
    for (char& c : line) {
      if (c == '\n') c = '|';
    }
    std::fprintf(stderr, "event: %s\n", line.c_str());
  }
  Handler handler;
  {
    platform::CMutexLock guard(m_mutex);
    m_events.push_back(event);
    handler = m_handler;
  }
  m_changed.NotifyAll();
  if (handler) handler(event.key, event.value);
  return S_OK;
}

void CRecordingSink::SetHandler(Handler handler) {
  platform::CMutexLock guard(m_mutex);
  m_handler = std::move(handler);
}

std::vector<RecordedEvent> CRecordingSink::Events() const {
  platform::CMutexLock guard(m_mutex);
  return m_events;
}

size_t CRecordingSink::Count() const {
  platform::CMutexLock guard(m_mutex);
  return m_events.size();
}

int CRecordingSink::Find(const std::wstring& key, const std::wstring& part, size_t from) const {
  for (size_t i = from; i < m_events.size(); ++i) {
    if (m_events[i].key == key && m_events[i].value.find(part) != std::wstring::npos) return static_cast<int>(i);
  }
  return -1;
}

int CRecordingSink::WaitFor(const std::wstring& key, const std::wstring& part, size_t from, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  platform::CMutexLock lock(m_mutex);
  int found = Find(key, part, from);
  while (found < 0) {
    const bool woken = m_changed.WaitUntil(lock, deadline);
    found = Find(key, part, from);
    if (!woken) break;
  }
  return found;
}

std::wstring CRecordingSink::Param(const std::wstring& value, const std::wstring& name) {
  size_t pos = 0;
  while (pos < value.size()) {
    size_t end = value.find(L'\n', pos);
    if (end == std::wstring::npos) end = value.size();
    std::wstring line = value.substr(pos, end - pos);
    if (line.compare(0, name.size() + 1, name + L"=") == 0) return line.substr(name.size() + 1);
    pos = end + 1;
  }
  return L"";
}

CLogCapture::CLogCapture() : m_shared(std::make_shared<Shared>()) {
  std::shared_ptr<Shared> shared = m_shared;
  webpage::SetLogSink([shared](webpage::LogLevel level, const std::string& text) {
    {
      platform::CMutexLock guard(shared->mutex);
      shared->entries.push_back(std::string(webpage::LogLevelName(level)) + ": " + text);
    }
    shared->changed.NotifyAll();
  });
}

CLogCapture::~CLogCapture() { webpage::SetLogSink(nullptr); }

bool CLogCapture::Shared::Holds(const std::string& part) const {
  for (const std::string& entry : entries) {
    if (entry.find(part) != std::string::npos) return true;
  }
  return false;
}

bool CLogCapture::Contains(const std::string& part) const {
  platform::CMutexLock guard(m_shared->mutex);
  return m_shared->Holds(part);
}

bool CLogCapture::WaitFor(const std::string& part, std::chrono::seconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  platform::CMutexLock lock(m_shared->mutex);
  while (!m_shared->Holds(part)) {
    if (!m_shared->changed.WaitUntil(lock, deadline)) return m_shared->Holds(part);
  }
  return true;
}

std::vector<std::string> CLogCapture::Entries() const {
  platform::CMutexLock guard(m_shared->mutex);
  return m_shared->entries;
}

}  // namespace webtest
