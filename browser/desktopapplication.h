#pragma once
// The desktop browser as a GLib application on the session bus: one per profile, known
// by an application id made from the profile's folder. The running browser owns that
// name; a second `uicontrol-browser ADDRESS...` on the same profile finds it there and
// hands the addresses over with GApplication's "open" (no address: "activate"), then
// ends. Where no session bus runs, none of this is used and the profile's socket
// (host/remoteclient.h) carries the addresses instead.
#include <gio/gio.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

namespace browser {

// "org.uicontrol.Browser.p" and 24 hex digits of the SHA-256 of the folder's real path
// (the path made absolute when the folder does not exist): the same for every spelling
// of one folder, a valid application id for any path.
std::string ApplicationIdForProfile(const std::string& profile);

// The session bus when it answers (DBUS_SESSION_BUS_ADDRESS set and a connection made),
// a new reference, else null. Never starts a bus of its own. The connection no longer
// ends the process when the bus goes away (GLib's default for it): the browser works on
// without the bus. Holding it keeps GLib's shared connection, which the application uses.
GDBusConnection* ConnectSessionBus();
bool SessionBusReachable();

// Hands the addresses to the browser that owns `appId` on the session bus (no address:
// asks it to show its window). 0 once they are sent; -1 when no browser owns the name,
// and the caller goes on as if there were no bus. `error` for the log.
int HandOverThroughBus(const std::string& appId, const std::vector<std::string>& urls, std::string* error);

// The running browser's side: a GtkApplication with HANDLES_OPEN and the action
// "new-window". The requests reach the sinks on the GTK main thread, from the main loop.
class CDesktopApplication {
 public:
  struct Sinks {
    std::function<void(const std::vector<std::string>& urls)> open;
    std::function<void()> activate;    // a second start without addresses
    std::function<void()> newWindow;   // the action "new-window"
  };

  explicit CDesktopApplication(const std::string& appId);
  ~CDesktopApplication();
  CDesktopApplication(const CDesktopApplication&) = delete;
  CDesktopApplication& operator=(const CDesktopApplication&) = delete;

  // Takes the name on the session bus (needs GTK initialised). False with `error` when
  // that failed; `*remote` is true when another process owns it already.
  bool Register(bool* remote, std::string* error);
  // Requests that come while no sinks are set wait for them.
  void SetSinks(Sinks sinks);
  // The browser is ending: no request reaches the sinks any more, and the name on the
  // bus goes at once (a second start then learns that none runs, instead of handing its
  // addresses to a browser that no longer takes them).
  void Withdraw();
  const std::string& Id() const { return m_id; }

 private:
  static void OnOpen(GApplication*, GFile** files, gint count, const gchar*, gpointer self);
  static void OnActivate(GApplication*, gpointer self);
  static void OnNewWindow(GSimpleAction*, GVariant*, gpointer self);

  std::string m_id;
  GtkApplication* m_app = nullptr;
  Sinks m_sinks;
  bool m_ready = false;
  // What came before the sinks: addresses, and whether activate or new-window was asked.
  std::vector<std::string> m_pendingOpen;
  int m_pendingActivate = 0;
  int m_pendingNewWindow = 0;
};

}  // namespace browser
