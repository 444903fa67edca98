#pragma once
// The library with a page engine, as the engines' load benchmarks time it: a tab manager
// bound to a main window and started, whose user-interface callback hands every event key
// to `onEvent` (on the library's thread). Destroying it quits the manager and unbinds both.
#include <functional>
#include <string>

#include "platform/window.h"
#include "uicontrol/tabmanager.h"

class CLibraryWithPages {
 public:
  CLibraryWithPages(qxdk::UTIL::com_ptr<IWebPageManager> pages, std::function<void(const std::wstring& key)> onEvent)
      : m_tabs(CTabManager::Instance()) {
    CTabManager::SetWebPageManager(pages);
    CTabManager::RegisterNotify([onEvent](unsigned int, const wchar_t* key, const wchar_t*) {
      onEvent(key ? key : L"");
    });
    m_tabs.BindMainWnd(platform::CreateWindowHandle());
    m_tabs.Start();
  }
  ~CLibraryWithPages() {
    m_tabs.Quit();
    CTabManager::RegisterNotify(nullptr);
    CTabManager::SetWebPageManager(nullptr);
  }
  CLibraryWithPages(const CLibraryWithPages&) = delete;
  CLibraryWithPages& operator=(const CLibraryWithPages&) = delete;

  CTabManager& Tabs() { return m_tabs; }

 private:
  CTabManager& m_tabs;
};
