#pragma once
// What the page tests of both engines need, whichever engine makes the pages: a manager
// made by the engine's fixture, pages with a sink on every key, the loopback server, a
// folder of the test's own, and the usual orders and questions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "uicontrol/interfaces/webpage.h"
#include "webpage/httpserver.h"
#include "webpage/testsink.h"

namespace webtest {

using PagePtr = qxdk::UTIL::com_ptr<IWebPage>;
using ManagerPtr = qxdk::UTIL::com_ptr<IWebPageManager>;

using Events = std::vector<RecordedEvent>;

inline std::wstring W(const std::string& text) { return platform::Utf8ToWide(text); }

// The position of the first event with `key` at or after `from`, or -1.
inline int First(const Events& events, const std::wstring& key, size_t from = 0) {
  for (size_t i = from; i < events.size(); ++i) {
    if (events[i].key == key) return static_cast<int>(i);
  }
  return -1;
}

// Every key both engines send.
inline const std::vector<std::wstring>& AllKeys() {
  static const std::vector<std::wstring> keys = {
      L"BEFORENAVIGATE",   L"NAVIGATECOMPLETE", L"DOCUMENTCOMPLETE",       L"PROGRESSCHANGE",
      L"TITLECHANGE",      L"ICONCHANGE",       L"BACKFORWARDSTATECHANGE", L"GOFORWARDSTATECHANGE",
      L"NEWINDOW",         L"NAVIGATEERROR",    L"PROCESSCRASH",           L"CHLIDHANDLE",
      L"STATEXTCHANGED",   L"POPBLOCK",         L"CLOSEWNDNOTIFTY",        L"SHOWIEWND",
      L"SHOWADDFAVWND",    L"SHOWEDITFAVWND",   L"SAVECOMPLETE",           L"FINDRESULT",
      L"ORDERUNSUPPORTED", L"PAGETEXT",         L"HINTS", L"BLOCKEDCOUNT",
      L"PAGEUNRESPONSIVE"};
  return keys;
}

class CPageFixture : public ::testing::Test {
 protected:
  // The engine's manager, with the fixture's options.
  virtual HRESULT CreateManager(IWebPageManager** out) = 0;
  // Keys the engine sends besides AllKeys().
  virtual std::vector<std::wstring> MoreKeys() const { return {}; }

  // A folder of the test's own ("/tmp/<prefix>-XXXXXX"), removed by RemoveFolder.
  void MakeFolder(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    m_folder = pattern;
  }
  void RemoveFolder() {
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder);
  }
  void ReleasePages() {
    m_pages.clear();
    m_manager = nullptr;
  }

  IWebPageManager* Manager() {
    if (!m_manager) {
      EXPECT_EQ(S_OK, CreateManager(&m_manager));
    }
    return m_manager.get();
  }

  // A new page with a sink subscribed to every key.
  PagePtr NewPage(std::shared_ptr<CRecordingSink>* sink) {
    PagePtr page;
    EXPECT_EQ(S_OK, Manager()->NewPage(nullptr, &page));
    if (page && sink) *sink = SubscribeAll(page.get());
    if (page) m_pages.push_back(page);
    return page;
  }

  // Adopts the window that `opener` announced with "NEWINDOW", as the host does; the
  // child comes with a sink on every key. Null (and a test failure) when it cannot.
  PagePtr AdoptWindowOf(IWebPage* opener, std::shared_ptr<CRecordingSink>* childSink) {
    PagePtr child;
    EXPECT_EQ(S_OK, Manager()->NewLinkPage(nullptr, opener, &child));
    if (!child) return child;
    m_pages.push_back(child);
    *childSink = SubscribeAll(child.get());
    return child;
  }

  std::shared_ptr<CRecordingSink> SubscribeAll(IWebPage* page) const {
    auto sink = std::make_shared<CRecordingSink>();
    qxdk::UTIL::com_ptr<IWebPageNotifier> notifier;
    PagePtr(page).QueryInterface(notifier);
    EXPECT_TRUE(notifier);
    std::vector<std::wstring> keys = AllKeys();
    for (const std::wstring& key : MoreKeys()) keys.push_back(key);
    for (const std::wstring& key : keys) {
      uintptr_t cookie = 0;
      EXPECT_EQ(S_OK, notifier->Subscribe(key.c_str(), sink, &cookie));
    }
    return sink;
  }

  static HRESULT Order(IWebPage* page, const std::wstring& text) { return page->SendOrder(text.c_str()); }
  static HRESULT Navigate(IWebPage* page, const std::string& url) {
    return Order(page, L"CMD=NAVIGATE\nURL=" + W(url) + L"\n");
  }

  // Navigates and waits for the document to complete; returns the event's position.
  static int Load(IWebPage* page, CRecordingSink& sink, const std::string& url) {
    size_t from = sink.Count();
    EXPECT_EQ(S_OK, Navigate(page, url));
    int at = sink.WaitFor(L"DOCUMENTCOMPLETE", L"URL=" + W(url) + L"\n", from);
    EXPECT_GE(at, 0) << "no DOCUMENTCOMPLETE for " << url;
    return at;
  }

  static std::wstring GetData(IWebPage* page, const wchar_t* name) {
    qxdk::UTIL::com_ptr<IWebPageData> data;
    PagePtr(page).QueryInterface(data);
    wchar_t* text = nullptr;
    EXPECT_EQ(S_OK, data->GetData(name, &text));
    std::wstring copy = text ? text : L"(null)";
    data->FreeData(text);
    return copy;
  }

  CHttpServer m_server;
  std::string m_folder;
  ManagerPtr m_manager;
  std::vector<PagePtr> m_pages;
};

}  // namespace webtest
