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
#include "webpage/pagefixture.h"

namespace webtest {

class WebKitPageTest : public CPageFixture {
 protected:
  void SetUp() override {
    MakeFolder("webkitpage-test");
    m_options.downloadsFolder = m_folder + "/downloads";
    platform::gtk::InstallWindowBackend();
  }

  void TearDown() override {
    ReleasePages();
    if (m_window) {
      GtkWidget* window = m_window;
      gtktest::RunOnGtk([window] { gtk_widget_destroy(window); });
      platform::DestroyWindowHandle(m_main);
    }
    // Whatever the pages left on the GTK thread has run before the next test.
    gtktest::RunOnGtk([] {});
    RemoveFolder();
  }

  HRESULT CreateManager(IWebPageManager** out) override { return CreateWebKitPageManager(m_options, out); }
  std::vector<std::wstring> MoreKeys() const override { return {L"AUDIOSTATECHANGE"}; }

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

  WebKitPageOptions m_options;
  HWND m_main = nullptr;
  GtkWidget* m_window = nullptr;
};

}  // namespace webtest
