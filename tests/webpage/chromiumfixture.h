#pragma once
// The fixture of the tests that run real Chromium pages against the loopback server.
// They are skipped when Chromium is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "components/webpage/webpagemanager.h"
#include "platform/text.h"
#include "webpage/httpserver.h"
#include "webpage/testsink.h"

namespace webtest {

using PagePtr = qxdk::UTIL::com_ptr<IWebPage>;
using ManagerPtr = qxdk::UTIL::com_ptr<IWebPageManager>;

inline std::wstring W(const std::string& text) { return platform::Utf8ToWide(text); }

// Every key the engine sends.
inline const std::vector<std::wstring>& AllKeys() {
  static const std::vector<std::wstring> keys = {
      L"BEFORENAVIGATE",   L"NAVIGATECOMPLETE",       L"DOCUMENTCOMPLETE",     L"PROGRESSCHANGE",
      L"TITLECHANGE",      L"ICONCHANGE",             L"BACKFORWARDSTATECHANGE", L"GOFORWARDSTATECHANGE",
      L"NEWINDOW",         L"NAVIGATEERROR",          L"PROCESSCRASH",         L"CHLIDHANDLE",
      L"STATEXTCHANGED",   L"POPBLOCK",               L"CLOSEWNDNOTIFTY",      L"SHOWIEWND",
      L"SHOWADDFAVWND",    L"SHOWEDITFAVWND",         L"SAVECOMPLETE",         L"FINDRESULT",
      L"ORDERUNSUPPORTED", L"PAGETEXT"};
  return keys;
}

class WebpageChromiumTest : public ::testing::Test {
 protected:
  static constexpr const char* kChromium = "/usr/bin/chromium";

  void SetUp() override {
    if (::access(kChromium, X_OK) != 0) GTEST_SKIP() << "Chromium is not installed at " << kChromium;
    char pattern[] = "/tmp/webpage-test-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern));
    m_folder = pattern;
    m_options.downloadsFolder = m_folder + "/downloads";
    m_options.navigationTimeout = std::chrono::milliseconds(60000);
  }

  void TearDown() override {
    m_pages.clear();
    m_manager = nullptr;
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder);
  }

  IWebPageManager* Manager() {
    if (!m_manager) {
      EXPECT_EQ(S_OK, CreateWebPageManager(m_options, &m_manager));
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

  // Loads `url` in a new page (the opener) whose script opens a window, and adopts it.
  PagePtr LoadOpenerAndAdopt(const std::string& url, PagePtr& opener, std::shared_ptr<CRecordingSink>* sink,
                             std::shared_ptr<CRecordingSink>* childSink) {
    opener = NewPage(sink);
    if (!opener || Load(opener.get(), **sink, url) < 0) return nullptr;
    EXPECT_GE((*sink)->WaitFor(L"NEWINDOW"), 0) << url << " opened no window";
    return AdoptWindowOf(opener.get(), childSink);
  }

  static std::shared_ptr<CRecordingSink> SubscribeAll(IWebPage* page) {
    auto sink = std::make_shared<CRecordingSink>();
    qxdk::UTIL::com_ptr<IWebPageNotifier> notifier;
    PagePtr(page).QueryInterface(notifier);
    EXPECT_TRUE(notifier);
    for (const std::wstring& key : AllKeys()) {
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
  int Load(IWebPage* page, CRecordingSink& sink, const std::string& url) {
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
  WebPageOptions m_options;
  std::string m_folder;
  ManagerPtr m_manager;
  std::vector<PagePtr> m_pages;
};

}  // namespace webtest
