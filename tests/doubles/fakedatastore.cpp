#include "doubles/fakedatastore.h"

#include <algorithm>
#include <cstring>

HRESULT FakeDataHolder::QueryInterface(const GUID& riid, void** ppv) {
  if (riid != IID_IUnknown && riid != IDataHolder::iid) return E_NOINTERFACE;
  *ppv = static_cast<IDataHolder*>(this);
  AddRef();
  return S_OK;
}

FakeDataStore::~FakeDataStore() {
  for (auto& s : m_sinks) s.second->Release();
}

HRESULT FakeDataStore::QueryInterface(const GUID& riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IDataAccessor::iid) {
    *ppv = static_cast<IDataAccessor*>(this);
  } else if (riid == IDataAccessorII::iid && answerII) {
    *ppv = static_cast<IDataAccessorII*>(this);
  } else if (riid == IDataAccessorNotifier::iid && answerNotifier) {
    *ppv = static_cast<IDataAccessorNotifier*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

void FakeDataStore::Record(const std::wstring& op, const std::wstring& name, const std::wstring& text) {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_calls.push_back({op, name, text});
  }
  m_cond.notify_all();
}

HRESULT FakeDataStore::SetData(const wchar_t* name, const wchar_t* text) {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_settings[name] = text ? text : L"";
  }
  Record(L"SetData", name, text ? text : L"");
  return S_OK;
}

HRESULT FakeDataStore::GetData(const wchar_t* name, wchar_t** text) {
  Record(L"GetData", name, L"");
  std::lock_guard<std::mutex> guard(m_mutex);
  auto it = m_settings.find(name);
  if (it == m_settings.end()) {
    *text = nullptr;
    return S_FALSE;
  }
  *text = new wchar_t[it->second.size() + 1];
  std::wmemcpy(*text, it->second.c_str(), it->second.size() + 1);
  ++m_outstanding;
  return S_OK;
}

HRESULT FakeDataStore::FreeData(wchar_t* text) {
  if (text) {
    delete[] text;
    --m_outstanding;
  }
  return S_OK;
}

HRESULT FakeDataStore::QueryData(const wchar_t* name, const wchar_t* parameters, IDataHolder** holder) {
  const std::wstring strName = name;
  const std::wstring strParams = parameters ? parameters : L"";
  Record(L"QueryData", strName, strParams);
  *holder = nullptr;
  std::wstring text;
  bool found = false, nullText = false;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto byParams = m_answersFor.find({strName, strParams});
    auto byName = m_answers.find(strName);
    if (byParams != m_answersFor.end()) {
      text = byParams->second;
      found = true;
    } else if (byName != m_answers.end()) {
      text = byName->second;
      found = true;
    } else if (std::find(m_nullText.begin(), m_nullText.end(), strName) != m_nullText.end()) {
      found = nullText = true;
    }
  }
  if (!found && answer) found = answer(strName, strParams, &text);
  if (!found) return S_FALSE;
  *holder = new FakeDataHolder(text, nullText);
  (*holder)->AddRef();
  return S_OK;
}

HRESULT FakeDataStore::Subscribe(const wchar_t* name, INotifierStub* sink, uintptr_t* cookie) {
  sink->AddRef();
  std::lock_guard<std::mutex> guard(m_mutex);
  m_sinks.emplace_back(name, sink);
  if (cookie) *cookie = m_sinks.size();
  return S_OK;
}

void FakeDataStore::SetSetting(const std::wstring& name, const std::wstring& value) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_settings[name] = value;
}

void FakeDataStore::RemoveSetting(const std::wstring& name) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_settings.erase(name);
}

void FakeDataStore::SetAnswer(const std::wstring& name, const std::wstring& text) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_answers[name] = text;
}

void FakeDataStore::SetAnswerFor(const std::wstring& name, const std::wstring& parameters, const std::wstring& text) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_answersFor[{name, parameters}] = text;
}

void FakeDataStore::SetNullTextAnswer(const std::wstring& name) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_nullText.push_back(name);
}

std::vector<StoreCall> FakeDataStore::Calls() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_calls;
}

std::vector<StoreCall> FakeDataStore::CallsNamed(const std::wstring& name) {
  std::lock_guard<std::mutex> guard(m_mutex);
  std::vector<StoreCall> out;
  for (const auto& c : m_calls) {
    if (c.name == name) out.push_back(c);
  }
  return out;
}

void FakeDataStore::ClearCalls() {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_calls.clear();
}

bool FakeDataStore::WaitForCalls(const std::wstring& name, size_t count, std::chrono::seconds deadline) {
  std::unique_lock<std::mutex> guard(m_mutex);
  return m_cond.wait_for(guard, deadline, [&] {
    return static_cast<size_t>(std::count_if(m_calls.begin(), m_calls.end(),
                                             [&](const StoreCall& c) { return c.name == name; })) >= count;
  });
}

std::vector<std::wstring> FakeDataStore::Subscriptions() {
  std::lock_guard<std::mutex> guard(m_mutex);
  std::vector<std::wstring> names;
  for (const auto& s : m_sinks) names.push_back(s.first);
  return names;
}

void FakeDataStore::FireNotify(const std::wstring& name, const std::wstring& value) {
  std::vector<INotifierStub*> sinks;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const auto& s : m_sinks) {
      if (s.first == name) sinks.push_back(s.second);
    }
  }
  for (INotifierStub* sink : sinks) sink->Notify(name.c_str(), value.c_str(), L"");
}
