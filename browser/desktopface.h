#pragma once
// The desktop browser's face: one GTK main window holding the chrome that the Lua
// interface (ui/desktop) builds from the widget classes, and the page area where the
// selected tab's page is shown. The interface runs on the GTK main thread; the library's
// notifications reach it through the GLib main loop (a watch on the queue's descriptor),
// as do its timers (one timeout for the next due one) and the quit signals.
#include <glib.h>
#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "browser/browseroptions.h"
#include "host/browsersession.h"

namespace browser {
class CWidget;
class CWindow;
}

class CDesktopFace : public CSessionFace {
 public:
  CDesktopFace(std::string uiRoot, BrowserOptions options);
  ~CDesktopFace() override;

  // The messages of uicontrol-browser.
  static SessionTexts Texts();

  HWND CreateMainWindow() override;
  IAddFavoriteDlg* CreateAddFavoriteDialog(CNotificationQueue& queue) override;
  bool Install(CBrowserSession& session, std::string* error) override;
  void Run(CBrowserSession& session) override;
  void Uninstall(CBrowserSession& session) override;
  void DrainEngineWork() override;
  void ReleaseViews() override;

 private:
  class CInterfaceLoop;

  std::string m_uiRoot;
  BrowserOptions m_options;
  GMainLoop* m_loop;
  browser::CWindow* m_window = nullptr;
  browser::CWidget* m_pageArea = nullptr;
  std::unique_ptr<CInterfaceLoop> m_interfaceLoop;
  guint m_signalSources[3] = {0, 0, 0};
};
