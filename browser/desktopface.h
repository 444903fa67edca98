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
#include <vector>

#include "browser/browseroptions.h"
#include "host/browsersession.h"

namespace browser {
class CDesktopApplication;
class CWidget;
class CWindow;
}

class CDesktopFace : public CSessionFace {
 public:
  CDesktopFace(std::string uiRoot, BrowserOptions options);
  ~CDesktopFace() override;

  // The messages of uicontrol-browser.
  static SessionTexts Texts();
  // The application registered on the session bus for the profile (none without a bus):
  // its requests reach the interface once it runs. Set before the session runs.
  void SetApplication(browser::CDesktopApplication* app) { m_app = app; }

  HWND CreateMainWindow() override;
  IAddFavoriteDlg* CreateAddFavoriteDialog(CNotificationQueue& queue) override;
  bool Install(CBrowserSession& session, std::string* error) override;
  void Run(CBrowserSession& session) override;
  void Uninstall(CBrowserSession& session) override;
  void DrainEngineWork() override;
  void ReleaseViews() override;

 private:
  class CInterfaceLoop;
  // Another program's requests through the application, on the GTK main thread.
  void OpenFromOutside(CBrowserSession& session, const std::vector<std::string>& urls);
  void NewWindowFromOutside(CBrowserSession& session);

  std::string m_uiRoot;
  BrowserOptions m_options;
  GMainLoop* m_loop;
  browser::CDesktopApplication* m_app = nullptr;
  browser::CWindow* m_window = nullptr;
  browser::CWidget* m_pageArea = nullptr;
  std::unique_ptr<CInterfaceLoop> m_interfaceLoop;
  guint m_signalSources[3] = {0, 0, 0};
};
