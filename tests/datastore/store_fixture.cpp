#include "store_fixture.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>

#include "platform/text.h"

namespace dstest {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "datastore-test-XXXXXX").string();
  m_path = mkdtemp(pattern.data()) ? pattern : std::string();
  if (m_path.empty()) ADD_FAILURE() << "cannot make a temporary folder";
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
}

datastore::LogSink LogCapture::Sink() {
  return [this](datastore::LogLevel level, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.push_back(std::string(datastore::LogLevelName(level)) + " " + text);
  };
}

bool LogCapture::Contains(const std::string& text) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const auto& line : m_lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

size_t LogCapture::Size() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lines.size();
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lines.clear();
}

std::wstring Params(const std::map<std::wstring, std::wstring>& pairs) {
  std::wstring text;
  for (const auto& pair : pairs) text += pair.first + L"=" + pair.second + L"\n";
  return text;
}

std::string Narrow(const std::wstring& text) { return platform::WideToUtf8(text); }

Xml::Xml(const std::wstring& text) { doc.Parse(Narrow(text).c_str(), nullptr, TIXML_ENCODING_UTF8); }

std::vector<TiXmlElement*> Children(TiXmlElement* parent, const char* name) {
  std::vector<TiXmlElement*> out;
  if (!parent) return out;
  for (TiXmlElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (!name || e->ValueStr() == name) out.push_back(e);
  }
  return out;
}

std::string Attr(TiXmlElement* e, const char* name) {
  const char* value = e ? e->Attribute(name) : nullptr;
  return value ? value : "<absent>";
}

HRESULT RecordingSink::QueryInterface(const GUID& riid, void** ppv) {
  if (riid == IID_IUnknown || riid == INotifierStub::iid) {
    *ppv = this;
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG RecordingSink::Release() {
  // Notified under the lock: a waiter may destroy the sink as soon as it sees the count.
  std::lock_guard<std::mutex> lock(m_mutex);
  const int count = --m_refs;
  m_cond.notify_all();
  return static_cast<ULONG>(count);
}

HRESULT RecordingSink::Notify(const wchar_t* name, const wchar_t* value, const wchar_t* extra) {
  Note note{name, value, extra, std::this_thread::get_id()};
  if (m_reaction) m_reaction(note);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_notes.push_back(note);
  m_cond.notify_all();
  return S_OK;
}

bool RecordingSink::WaitFor(size_t count) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_cond.wait_for(lock, std::chrono::seconds(30), [&] { return m_notes.size() >= count; });
}

bool RecordingSink::WaitReleased() {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_cond.wait_for(lock, std::chrono::seconds(30), [&] { return m_refs == 1; });
}

std::vector<Note> RecordingSink::Notes() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_notes;
}

void StoreTest::Open(datastore::DataStoreOptions options) {
  if (options.databasePath.empty()) options.databasePath = DbPath();
  if (!options.logSink) options.logSink = log.Sink();
  IDataAccessor* raw = nullptr;
  ASSERT_EQ(datastore::CreateDataStore(options, &raw), S_OK);
  store.Attach(raw);
  ASSERT_EQ(store.QueryInterface(query), S_OK);
  ASSERT_EQ(store.QueryInterface(notifier), S_OK);
}

void StoreTest::Close() {
  notifier = nullptr;
  query = nullptr;
  store = nullptr;
}

std::optional<std::wstring> StoreTest::Query(const std::wstring& name, const std::wstring& params) {
  com_ptr<IDataHolder> holder;
  query->QueryData(name.c_str(), params.c_str(), &holder);
  if (!holder) return std::nullopt;
  const wchar_t* text = nullptr;
  EXPECT_EQ(holder->GetText(&text), S_OK);
  return text ? std::optional<std::wstring>(text) : std::nullopt;
}

std::optional<std::wstring> StoreTest::Get(const std::wstring& name) {
  wchar_t* text = nullptr;
  store->GetData(name.c_str(), &text);
  if (!text) return std::nullopt;
  std::wstring copy(text);
  EXPECT_EQ(store->FreeData(text), S_OK);
  return copy;
}

void StoreTest::Subscribe(RecordingSink& sink, const std::vector<std::wstring>& names) {
  for (const auto& name : names) {
    uintptr_t cookie = 0;
    ASSERT_EQ(notifier->Subscribe(name.c_str(), &sink, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
  }
}

std::wstring Favorite(const std::wstring& pid, const std::wstring& title, const std::wstring& url,
                      const std::wstring& type) {
  return Params({{L"date", L"2024-3-7 9:7:2"}, {L"icon", L""}, {L"pid", pid}, {L"title", title},
                 {L"type", type}, {L"url", url}});
}

}  // namespace dstest
