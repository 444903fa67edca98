#pragma once
// A test double of the data store: records every command with its parameter text,
// answers settings and queries from tables the test fills, and delivers change
// notifications to the subscribed sinks.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "doubles/comobject.h"
#include "uicontrol/interfaces/dataaccessor.h"

struct StoreCall {
  std::wstring op;      // "SetData", "GetData", "QueryData"
  std::wstring name;
  std::wstring text;    // parameter text (QueryData) or value (SetData)
};

class FakeDataHolder : public IDataHolder, public CountedObject<FakeDataHolder> {
 public:
  explicit FakeDataHolder(std::wstring text, bool nullText = false) : m_text(std::move(text)), m_null(nullText) {}
  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  DOUBLE_IUNKNOWN_REFCOUNT
  HRESULT GetText(const wchar_t** text) override {
    *text = m_null ? nullptr : m_text.c_str();
    return S_OK;
  }

 private:
  std::wstring m_text;
  bool m_null;
};

class FakeDataStore : public IDataAccessor, public IDataAccessorII, public IDataAccessorNotifier,
                      public CountedObject<FakeDataStore> {
 public:
  ~FakeDataStore() override;
  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  DOUBLE_IUNKNOWN_REFCOUNT
  HRESULT SetData(const wchar_t* name, const wchar_t* text) override;
  HRESULT GetData(const wchar_t* name, wchar_t** text) override;
  HRESULT FreeData(wchar_t* text) override;
  HRESULT QueryData(const wchar_t* name, const wchar_t* parameters, IDataHolder** holder) override;
  HRESULT Subscribe(const wchar_t* name, INotifierStub* sink, uintptr_t* cookie) override;

  // Settings: GetData answers the value, or null when absent. SetData also stores here
  // (unless the name is in `recordOnly`).
  void SetSetting(const std::wstring& name, const std::wstring& value);
  void RemoveSetting(const std::wstring& name);
  // Query answers: by name and exact parameter text first, then by name alone.
  // An answer that is absent gives no holder.
  void SetAnswer(const std::wstring& name, const std::wstring& text);
  void SetAnswerFor(const std::wstring& name, const std::wstring& parameters, const std::wstring& text);
  void SetNullTextAnswer(const std::wstring& name);
  // A function deciding the answer of a query (return false for no holder).
  std::function<bool(const std::wstring& name, const std::wstring& parameters, std::wstring* text)> answer;

  std::vector<StoreCall> Calls();
  std::vector<StoreCall> CallsNamed(const std::wstring& name);
  void ClearCalls();
  bool WaitForCalls(const std::wstring& name, size_t count, std::chrono::seconds deadline = std::chrono::seconds(30));
  std::vector<std::wstring> Subscriptions();
  // Calls every sink subscribed to the name.
  void FireNotify(const std::wstring& name, const std::wstring& value);
  int OutstandingData() const { return m_outstanding.load(); }

  bool answerII = true;
  bool answerNotifier = true;

 private:
  void Record(const std::wstring& op, const std::wstring& name, const std::wstring& text);
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::vector<StoreCall> m_calls;
  std::map<std::wstring, std::wstring> m_settings;
  std::map<std::wstring, std::wstring> m_answers;
  std::map<std::pair<std::wstring, std::wstring>, std::wstring> m_answersFor;
  std::vector<std::wstring> m_nullText;
  std::vector<std::pair<std::wstring, INotifierStub*>> m_sinks;
  std::atomic<int> m_outstanding{0};
};
