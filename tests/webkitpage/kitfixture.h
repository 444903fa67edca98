#pragma once
// The fixture of the WebKit page tests: a manager, pages with a sink on every key, the
// loopback server, and a shown window whose page area can hold a page's view.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "components/webkitpage/webkitpagemanager.h"
#include "gtk/gtktestenv.h"
#include "platform/gtk/gtkwindows.h"
#include "platform/text.h"
#include "platform/window.h"
#include "webpage/httpserver.h"
#include "webpage/testsink.h"

namespace webtest {

using PagePtr = qxdk::UTIL::com_ptr<IWebPage>;
using ManagerPtr = qxdk::UTIL::com_ptr<IWebPageManager>;
using Events = std::vector<RecordedEvent>;

inline std::wstring W(const std::string& text) { return platform::Utf8ToWide(text); }

inline const std::vector<std::wstring>& AllKeys() {
  static const std::vector<std::wstring> keys = {
      L"BEFORENAVIGATE",   L"NAVIGATECOMPLETE", L"DOCUMENTCOMPLETE", L"PROGRESSCHANGE",  L"TITLECHANGE",
      L"ICONCHANGE",       L"BACKFORWARDSTATECHANGE", L"GOFORWARDSTATECHANGE", L"NEWINDOW", L"NAVIGATEERROR",
      L"PROCESSCRASH",     L"CHLIDHANDLE",      L"STATEXTCHANGED",   L"POPBLOCK",        L"CLOSEWNDNOTIFTY",
      L"SHOWIEWND",        L"SHOWADDFAVWND",    L"SHOWEDITFAVWND",   L"SAVECOMPLETE",    L"FINDRESULT",
      L"ORDERUNSUPPORTED", L"PAGETEXT",         L"AUDIOSTATECHANGE"};
  return keys;
}

inline int First(const Events& events, const std::wstring& key, size_t from = 0) {
  for (size_t i = from; i < events.size(); ++i) {
    if (events[i].key == key) return static_cast<int>(i);
  }
  return -1;
}

class WebKitPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/webkitpage-test-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern));
    m_folder = pattern;
    m_options.downloadsFolder = m_folder + "/downloads";
    platform::gtk::InstallWindowBackend();
  }

  void TearDown() override {
    m_pages.clear();
    m_manager = nullptr;
    if (m_window) {
      GtkWidget* window = m_window;
      gtktest::RunOnGtk([window] { gtk_widget_destroy(window); });
      platform::DestroyWindowHandle(m_main);
    }
    // Whatever the pages left on the GTK thread has run before the next test.
    gtktest::RunOnGtk([] {});
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder);
  }

  IWebPageManager* Manager() {
    if (!m_manager) {
      EXPECT_EQ(S_OK, CreateWebKitPageManager(m_options, &m_manager));
    }
    return m_manager.get();
  }

  PagePtr NewPage(std::shared_ptr<CRecordingSink>* sink) {
    PagePtr page;
    EXPECT_EQ(S_OK, Manager()->NewPage(nullptr, &page));
    if (page && sink) *sink = SubscribeAll(page.get());
    if (page) m_pages.push_back(page);
    return page;
  }

  PagePtr AdoptWindowOf(IWebPage* opener, std::shared_ptr<CRecordingSink>* childSink) {
    PagePtr child;
    EXPECT_EQ(S_OK, Manager()->NewLinkPage(nullptr, opener, &child));
    if (!child) return child;
    m_pages.push_back(child);
    *childSink = SubscribeAll(child.get());
    return child;
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

  static HWND ViewOf(CRecordingSink& sink) {
    int at = sink.WaitFor(L"CHLIDHANDLE");
    if (at < 0) return nullptr;
    return HandleFromValue(std::wcstoul(CRecordingSink::Param(sink.Events()[at].value, L"HWND").c_str(), nullptr, 16));
  }

  // Puts the page's view into a shown window (what the desktop host does), so that it
  // is laid out and drawn.
  void Show(CRecordingSink& sink) {
    if (!m_window) {
      m_main = platform::CreateWindowHandle();
      HWND main = m_main;
      GtkWidget* window = nullptr;
      ASSERT_TRUE(gtktest::RunOnGtk([main, &window] {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
        gtk_container_add(GTK_CONTAINER(window), platform::gtk::CreatePageArea(main));
        gtk_widget_show_all(window);
      }));
      m_window = window;
    }
    HWND view = ViewOf(sink);
    ASSERT_NE(nullptr, view);
    SetParent(view, m_main);
    ShowWindow(view, SW_SHOW);
  }

  CHttpServer m_server;
  WebKitPageOptions m_options;
  std::string m_folder;
  ManagerPtr m_manager;
  std::vector<PagePtr> m_pages;
  HWND m_main = nullptr;
  GtkWidget* m_window = nullptr;
};

}  // namespace webtest
