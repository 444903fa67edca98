#include "luatesthost.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <future>

#include "host/luaclasses.h"
#include "platform/text.h"
#include "platform/window.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

LuaTestHost* Self(lua_State* L) { return static_cast<LuaTestHost*>(lua_touserdata(L, lua_upvalueindex(1))); }

std::wstring WideArg(lua_State* L, int idx) {
  size_t len = 0;
  const char* text = luaL_checklstring(L, idx, &len);
  return platform::Utf8ToWide(std::string(text, len));
}

void PushWide(lua_State* L, const std::wstring& text) {
  const std::string utf8 = platform::WideToUtf8(text);
  lua_pushlstring(L, utf8.data(), utf8.size());
}

com_ptr<FakeWebPage> PageArg(lua_State* L, int idx) {
  const int index = luaL_checkint(L, idx);
  std::vector<com_ptr<FakeWebPage>> all = Self(L)->pages->Pages();
  if (index < 1 || index > static_cast<int>(all.size())) luaL_error(L, "no page %d (there are %d)", index, int(all.size()));
  return all[index - 1];
}

void PushList(lua_State* L, const std::vector<std::wstring>& items) {
  lua_createtable(L, static_cast<int>(items.size()), 0);
  for (size_t i = 0; i < items.size(); ++i) {
    PushWide(L, items[i]);
    lua_rawseti(L, -2, static_cast<int>(i + 1));
  }
}

class CTaskDone : public ITabTask {
 public:
  explicit CTaskDone(std::promise<void>* p) : m_p(p) {}
  bool Execute() override {
    m_p->set_value();
    return true;
  }
  std::promise<void>* m_p;
};

void DrainQueue(CTabTaskQueue& queue) {
  std::promise<void> done;
  queue.PostTask(std::make_shared<CTaskDone>(&done));
  done.get_future().wait_for(std::chrono::seconds(60));
}

int Pages(lua_State* L) {
  lua_pushinteger(L, static_cast<lua_Integer>(Self(L)->pages->Pages().size()));
  return 1;
}
int Orders(lua_State* L) {
  PushList(L, PageArg(L, 1)->Orders());
  return 1;
}
int Subscribed(lua_State* L) {
  PushList(L, PageArg(L, 1)->SubscribedKeys());
  return 1;
}
int Fire(lua_State* L) {
  PageArg(L, 1)->Fire(WideArg(L, 2), WideArg(L, 3));
  return 0;
}
int FireAsync(lua_State* L) {
  PageArg(L, 1)->FireAsync(WideArg(L, 2), WideArg(L, 3));
  return 0;
}
int PageValue(lua_State* L) {
  PageArg(L, 1)->SetValue(WideArg(L, 2), WideArg(L, 3));
  return 0;
}
int Drain(lua_State*) {
  for (int i = 0; i < 2; ++i) {
    DrainQueue(*CTabManager::UITaskQueue());
    DrainQueue(*CTabManager::IOTaskQueue());
  }
  return 0;
}
int StoreCalls(lua_State* L) {
  std::vector<std::wstring> texts;
  for (const StoreCall& c : Self(L)->store->CallsNamed(WideArg(L, 1))) texts.push_back(c.text);
  PushList(L, texts);
  return 1;
}
int StoreSetting(lua_State* L) {
  Self(L)->store->SetSetting(WideArg(L, 1), WideArg(L, 2));
  return 0;
}
int StoreAnswer(lua_State* L) {
  if (lua_gettop(L) >= 3) {
    Self(L)->store->SetAnswerFor(WideArg(L, 1), WideArg(L, 2), WideArg(L, 3));
  } else {
    Self(L)->store->SetAnswer(WideArg(L, 1), WideArg(L, 2));
  }
  return 0;
}
int StoreNotify(lua_State* L) {
  Self(L)->store->FireNotify(WideArg(L, 1), WideArg(L, 2));
  return 0;
}
int NewWindow(lua_State* L) {
  lua_pushinteger(L, static_cast<lua_Integer>(HandleValue(platform::CreateWindowHandle())));
  return 1;
}
int BindMain(lua_State* L) {
  CTabManager::Instance().BindMainWnd(HandleFromValue(static_cast<uintptr_t>(luaL_checkinteger(L, 1))));
  return 0;
}
int WindowParent(lua_State* L) {
  HWND parent = platform::GetParentWindow(HandleFromValue(static_cast<uintptr_t>(luaL_checkinteger(L, 1))));
  lua_pushinteger(L, static_cast<lua_Integer>(HandleValue(parent)));
  return 1;
}

// Waits up to `timeout` ms for one notification and hands it to the Lua function the
// host interface defines: OnTabNotify(id, key, value) or OnDataNotify(key, data).
// Returns true when one was dispatched.
int Pump(lua_State* L) {
  const int timeout = static_cast<int>(luaL_optinteger(L, 1, 30000));
  HostNotification n;
  if (!Self(L)->NextNotification(&n, std::chrono::milliseconds(timeout))) {
    lua_pushboolean(L, 0);
    return 1;
  }
  if (n.kind == HostNotification::Tab) {
    lua_getglobal(L, "OnTabNotify");
    lua_pushinteger(L, n.uID);
    PushWide(L, n.key);
    PushWide(L, n.value);
    lua_call(L, 3, 0);
  } else {
    lua_getglobal(L, "OnDataNotify");
    PushWide(L, n.key);
    PushWide(L, n.value);
    lua_call(L, 2, 0);
  }
  lua_pushboolean(L, 1);
  return 1;
}

// Milliseconds on a monotonic clock, for deadlines in Lua tests.
int NowMs(lua_State* L) {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  lua_pushnumber(L, static_cast<lua_Number>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
  return 1;
}

}  // namespace

LuaTestHost::LuaTestHost(bool installTabInfo) {
  m_L = luaL_newstate();
  luaL_openlibs(m_L);
  m_host.reset(new uibind::CHost(m_L));
  RegisterHostClasses(*m_host);
  if (installTabInfo) CLuaTabInfo::InstallToLua(m_L);
  CTabManager::InstallToLua(m_L);

  pages = new FakeWebPageManager();
  store = new FakeDataStore();
  CTabManager::SetWebPageManager(pages);
  CTabManager::SetDataAccessor(store);
  CTabManager::RegisterNotify([this](unsigned int uID, const wchar_t* key, const wchar_t* value) {
    queue.Push({HostNotification::Tab, uID, key ? key : L"", value ? value : L""});
  });
  CTabManager::RegisterDataNotify([this](const wchar_t* key, const std::wstring& data) {
    queue.Push({HostNotification::Data, 0, key ? key : L"", data});
  });
  CTabManager::Instance().Start();
  Drain(m_L);
  store->ClearCalls();
  InstallTestTable();
}

LuaTestHost::~LuaTestHost() {
  CTabManager& tm = CTabManager::Instance();
  tm.CloseAllTab();
  Drain(m_L);
  tm.Quit();
  CTabManager::RegisterNotify(nullptr);
  CTabManager::RegisterDataNotify(nullptr);
  CTabManager::SetWebPageManager(nullptr);
  CTabManager::SetDataAccessor(nullptr);
  lua_close(m_L);
  m_host.reset();
  pages->ForgetPages();
}

void LuaTestHost::InstallTestTable() {
  static const luaL_Reg kFunctions[] = {
      {"pages", Pages},           {"orders", Orders},           {"subscribed", Subscribed},
      {"fire", Fire},             {"fire_async", FireAsync},    {"page_value", PageValue},
      {"drain", Drain},           {"store_calls", StoreCalls},  {"store_setting", StoreSetting},
      {"store_answer", StoreAnswer}, {"store_notify", StoreNotify}, {"new_window", NewWindow},
      {"bind_main", BindMain},    {"window_parent", WindowParent}, {"pump", Pump},
      {"now_ms", NowMs},          {nullptr, nullptr}};
  lua_newtable(m_L);
  for (const luaL_Reg* f = kFunctions; f->name; ++f) {
    lua_pushlightuserdata(m_L, this);
    lua_pushcclosure(m_L, f->func, 1);
    lua_setfield(m_L, -2, f->name);
  }
  lua_setglobal(m_L, "test");
}

bool LuaTestHost::NextNotification(HostNotification* out, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (m_taken.empty()) queue.Dispatch([this](const HostNotification& n) { m_taken.push_back(n); });
    if (!m_taken.empty()) {
      *out = std::move(m_taken.front());
      m_taken.pop_front();
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    // Woken by a push; a queue without a descriptor is looked at every few milliseconds.
    pollfd fd{queue.ReadableFd(), POLLIN, 0};
    const long long wait = fd.fd >= 0 ? left.count() + 1 : std::min<long long>(left.count() + 1, 5);
    poll(&fd, 1, static_cast<int>(std::min<long long>(wait, 60000)));
  }
}

std::string LuaTestHost::Run(const std::string& code, const std::string& chunkName) {
  if (luaL_loadbuffer(m_L, code.data(), code.size(), chunkName.c_str()) != 0 || lua_pcall(m_L, 0, 0, 0) != 0) {
    std::string error = lua_tostring(m_L, -1) ? lua_tostring(m_L, -1) : "(error without text)";
    lua_pop(m_L, 1);
    return error;
  }
  return std::string();
}
