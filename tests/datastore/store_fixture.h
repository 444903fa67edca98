#pragma once
// What the data store tests share: a store in a fresh temporary folder, a log capture, short calls
// through the interfaces, an XML reader and a recording notification sink.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "components/datastore/datastore.h"

namespace dstest {

using qxdk::UTIL::com_ptr;

// A unique folder removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string Path(const std::string& name) const { return m_path + "/" + name; }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

class LogCapture {
 public:
  datastore::LogSink Sink();
  bool Contains(const std::string& text) const;
  size_t Size() const;
  void Clear();

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

// The key=value text of the library: keys ascending, every line ended by a line feed.
std::wstring Params(const std::map<std::wstring, std::wstring>& pairs);
std::string Narrow(const std::wstring& text);

// A parsed XML result; its root element, or null when the text is no document.
struct Xml {
  explicit Xml(const std::wstring& text);
  TiXmlElement* root() { return doc.RootElement(); }
  TiXmlDocument doc;
};
std::vector<TiXmlElement*> Children(TiXmlElement* parent, const char* name = nullptr);
std::string Attr(TiXmlElement* e, const char* name);

struct Note {
  std::wstring name, value, extra;
  std::thread::id thread;
};

// Records every notification; can run a reaction on the notifying thread.
class RecordingSink : public INotifierStub {
 public:
  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override;
  HRESULT Notify(const wchar_t* name, const wchar_t* value, const wchar_t* extra) override;

  // Waits (30 s at most) until `count` notifications have come.
  bool WaitFor(size_t count);
  // Waits until the store has released every reference it took.
  bool WaitReleased();
  std::vector<Note> Notes();
  void SetReaction(std::function<void(const Note&)> reaction) { m_reaction = std::move(reaction); }
  int Refs() const { return m_refs; }

 private:
  std::atomic<int> m_refs{1};  // the test's own
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::vector<Note> m_notes;
  std::function<void(const Note&)> m_reaction;
};

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(); }
  void Open(datastore::DataStoreOptions options = {});
  void Close();

  HRESULT Set(const std::wstring& name, const std::wstring& text) { return store->SetData(name.c_str(), text.c_str()); }
  // The holder's text, or nothing when no holder came back.
  std::optional<std::wstring> Query(const std::wstring& name, const std::wstring& params = L"");
  // The setting's text, or nothing for a null text (given back with FreeData).
  std::optional<std::wstring> Get(const std::wstring& name);
  // Returns once every write queued so far has run (a read waits for them), so that
  // the log holds what those writes logged.
  void Settle() { Get(L"page.size"); }
  void Subscribe(RecordingSink& sink, const std::vector<std::wstring>& names);
  std::string DbPath() const { return dir.Path("store.db"); }

  TempDir dir;
  LogCapture log;
  com_ptr<IDataAccessor> store;
  com_ptr<IDataAccessorII> query;
  com_ptr<IDataAccessorNotifier> notifier;
};

// A favourite as the library sends it.
std::wstring Favorite(const std::wstring& pid, const std::wstring& title, const std::wstring& url,
                      const std::wstring& type = L"1");

}  // namespace dstest
