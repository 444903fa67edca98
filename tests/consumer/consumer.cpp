// A program on an installed uicontrol: the tab manager with the SQLite data store and a
// page of its own, driven from Lua through the binding layer and the host's classes.
// Prints one line per check and exits non-zero when any fails.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <lua.hpp>

#include "components/datastore/datastore.h"
#include "components/webpage/weblog.h"
#include "host/luaclasses.h"
#include "uibind/host.h"
#include "uicontrol/tabinfo.h"
#include "uicontrol/tabmanager.h"
#include "uicontrol/version.h"

using qxdk::UTIL::com_ptr;

namespace {

int g_failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  if (!ok) ++g_failures;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// A page that keeps its orders and subscriptions; the program fires its events.
class Page : public IWebPage, public IWebPageNotifier, public IWebPageData {
 public:
  HRESULT QueryInterface(const GUID& riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IWebPage::iid) {
      *ppv = static_cast<IWebPage*>(this);
    } else if (riid == IWebPageNotifier::iid) {
      *ppv = static_cast<IWebPageNotifier*>(this);
    } else if (riid == IWebPageData::iid) {
      *ppv = static_cast<IWebPageData*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }
  HRESULT SendOrder(const wchar_t* order) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_orders.push_back(order ? order : L"");
    return S_OK;
  }
  HRESULT Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) override {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_sinks.emplace_back(key ? key : L"", std::move(sink));
    if (cookie) *cookie = m_sinks.size();
    return S_OK;
  }
  HRESULT SetData(const wchar_t*, const wchar_t*) override { return S_OK; }
  HRESULT GetData(const wchar_t*, wchar_t** value) override {
    if (value) *value = nullptr;
    return S_OK;
  }
  HRESULT FreeData(wchar_t*) override { return S_OK; }

  void Fire(const std::wstring& key, const std::wstring& value) {
    std::vector<std::shared_ptr<INotifOrderStub>> sinks;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      for (const auto& s : m_sinks)
        if (s.first == key) sinks.push_back(s.second);
    }
    for (const auto& sink : sinks) sink->NotifyOrder(key.c_str(), value.c_str(), 0);
  }
  std::vector<std::wstring> Orders() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_orders;
  }
  void Forget() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_sinks.clear();
  }

 private:
  ~Page() = default;
  std::atomic<ULONG> m_refs{0};
  std::mutex m_mutex;
  std::vector<std::wstring> m_orders;
  std::vector<std::pair<std::wstring, std::shared_ptr<INotifOrderStub>>> m_sinks;
};

class Pages : public IWebPageManager {
 public:
  HRESULT QueryInterface(const GUID& riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IWebPageManager::iid) return E_NOINTERFACE;
    *ppv = static_cast<IWebPageManager*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }
  HRESULT NewPage(void*, IWebPage** page) override {
    if (!page) return E_POINTER;
    com_ptr<Page> created(new Page());
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_pages.push_back(created);
    }
    *page = created.get();
    (*page)->AddRef();
    return S_OK;
  }
  HRESULT Reserved(void*) override { return E_NOTIMPL; }
  HRESULT NewLinkPage(void* reserved, IWebPage*, IWebPage** page) override { return NewPage(reserved, page); }

  std::vector<com_ptr<Page>> All() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_pages;
  }

 private:
  ~Pages() = default;
  std::atomic<ULONG> m_refs{0};
  std::mutex m_mutex;
  std::vector<com_ptr<Page>> m_pages;
};

// What the library hands to its host; waits are bounded by a deadline.
class Notifications {
 public:
  void Tab(const wchar_t* key) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_tabKeys.push_back(key ? key : L"");
    m_cond.notify_all();
  }
  void Data(const wchar_t* key, const std::wstring& data) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_data[key ? key : L""] = data;
    m_cond.notify_all();
  }
  bool WaitTab(const std::wstring& key) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cond.wait_for(lock, std::chrono::seconds(60), [&] {
      for (const auto& k : m_tabKeys)
        if (k == key) return true;
      return false;
    });
  }
  bool WaitData(const std::wstring& key, const std::wstring& containing, std::wstring* data) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool seen = m_cond.wait_for(lock, std::chrono::seconds(60), [&] {
      auto it = m_data.find(key);
      return it != m_data.end() && it->second.find(containing) != std::wstring::npos;
    });
    *data = m_data[key];
    return seen;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::vector<std::wstring> m_tabKeys;
  std::map<std::wstring, std::wstring> m_data;
};

bool RunLua(lua_State* L, const char* code, std::string* error) {
  if (luaL_dostring(L, code) == 0) return true;
  *error = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)";
  lua_pop(L, 1);
  return false;
}

std::string GlobalString(lua_State* L, const char* name) {
  lua_getglobal(L, name);
  std::string value = lua_isstring(L, -1) ? lua_tostring(L, -1) : "(" + std::string(luaL_typename(L, -1)) + ")";
  lua_pop(L, 1);
  return value;
}

}  // namespace

int main() {
  std::printf("uicontrol %s, Lua %s\n", UICONTROL_VERSION, UICONTROL_LUA_NAME);
  // The page engine links in; its log level names are part of its public header.
  Check(std::string(webpage::LogLevelName(webpage::LogLevel::Error)).size() > 0, "page engine library linked");

  char folder[] = "/tmp/uicontrol-consumer-XXXXXX";
  if (!mkdtemp(folder)) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dbPath = std::string(folder) + "/store.db";

  datastore::DataStoreOptions storeOptions;
  storeOptions.databasePath = dbPath;
  storeOptions.logSink = [](datastore::LogLevel, const std::string&) {};
  com_ptr<IDataAccessor> store;
  IDataAccessor* rawStore = nullptr;
  Check(SUCCEEDED(datastore::CreateDataStore(storeOptions, &rawStore)) && rawStore, "SQLite store opened");
  store.Attach(rawStore);
  if (!store) return 1;

  com_ptr<Pages> pages(new Pages());
  Notifications notes;
  CTabManager& tm = CTabManager::Instance();
  CTabManager::SetWebPageManager(com_ptr<IWebPageManager>(pages));
  CTabManager::SetDataAccessor(store);
  CTabManager::RegisterNotify([&notes](unsigned int, const wchar_t* key, const wchar_t*) { notes.Tab(key); });
  CTabManager::RegisterDataNotify([&notes](const wchar_t* key, const std::wstring& data) { notes.Data(key, data); });
  Check(tm.Start(), "tab manager started");

  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  {
    auto host = std::make_unique<uibind::CHost>(L);
    Check(RegisterHostClasses(*host) && CLuaTabInfo::InstallToLua(L) && CTabManager::InstallToLua(L),
          "host classes and library API installed in Lua");

    std::string error;
    Check(RunLua(L,
                 "tm = App.TabManagerInstance()\n"
                 "id = tm.AddTab('http://consumer.test/start', 0)\n"
                 "-- a native call with a wrong argument is a Lua error, caught here\n"
                 "local ok, message = pcall(function() return tm.Navigate(id) end)\n"
                 "badcall = ok and 'no error' or tostring(message)\n",
                 &error),
          "Lua adds a tab " + error);
    const unsigned long id = std::stoul(GlobalString(L, "id"));
    Check(id != 0, "the new tab has an ID");
    Check(GlobalString(L, "badcall").find("Navigate") != std::string::npos,
          "a bad call names the method: " + GlobalString(L, "badcall"));

    const auto created = pages->All();
    Check(created.size() == 1, "one page created");
    if (created.size() == 1) {
      const auto orders = created[0]->Orders();
      Check(!orders.empty() && orders[0] == L"CMD=NAVIGATE\nURL=http://consumer.test/start\n",
            "the page was told to navigate: " + (orders.empty() ? std::string("(none)") : Narrow(orders[0])));
      created[0]->Fire(L"TITLECHANGE", L"TITLE=Consumer page\nURL=http://consumer.test/start\n");
      Check(notes.WaitTab(L"TITLECHANGE"), "the page's event reached the host");
    }

    Check(RunLua(L,
                 "local info = tm.FindTabInfo(id)\n"
                 "title = info.strTitle:str()\n"
                 "url = tostring(info.strURL)\n"
                 "added = tostring(tm.AddFavoriteItem(-1, 'http://consumer.test/favourite', 'Favourite', ''))\n",
                 &error),
          "Lua reads the tab and adds a favourite " + error);
    Check(GlobalString(L, "title") == "Consumer page", "title seen from Lua: " + GlobalString(L, "title"));
    Check(GlobalString(L, "url") == "http://consumer.test/start", "address seen from Lua: " + GlobalString(L, "url"));
    Check(GlobalString(L, "added") == "true", "favourite accepted");
    std::wstring list;
    Check(notes.WaitData(L"GetAllFavoriteItems", L"http://consumer.test/favourite", &list),
          "the store's favourite list came back: " + Narrow(list.substr(0, 200)));

    tm.CloseAllTab();
    tm.Quit();
    lua_close(L);
  }

  CTabManager::RegisterNotify(nullptr);
  CTabManager::RegisterDataNotify(nullptr);
  CTabManager::SetWebPageManager(nullptr);
  CTabManager::SetDataAccessor(nullptr);
  for (const auto& page : pages->All()) page->Forget();
  pages.reset();
  store.reset();
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) unlink((dbPath + suffix).c_str());
  rmdir(folder);

  std::printf("%s\n", g_failures == 0 ? "consumer: all checks passed" : "consumer: FAILED");
  return g_failures == 0 ? 0 : 1;
}
