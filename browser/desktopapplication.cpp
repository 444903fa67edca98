#include "browser/desktopapplication.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace browser {

namespace {

struct GFree {
  void operator()(gchar* p) const { g_free(p); }
};
using GText = std::unique_ptr<gchar, GFree>;

// The message of a GLib error, which it frees.
std::string TakeMessage(GError* error) {
  std::string text = error ? error->message : "unknown error";
  g_clear_error(&error);
  return text;
}

}  // namespace

std::string ApplicationIdForProfile(const std::string& profile) {
  std::string path;
  char resolved[PATH_MAX];
  if (realpath(profile.c_str(), resolved)) {
    path = resolved;
  } else {
    // Not made yet: its absolute spelling stands in (the folder is made before the
    // running browser takes the name, so both sides resolve the same way then).
    GText absolute(g_canonicalize_filename(profile.c_str(), nullptr));
    path = absolute.get();
  }
  GText digest(g_compute_checksum_for_string(G_CHECKSUM_SHA256, path.c_str(), static_cast<gssize>(path.size())));
  // An element may not start with a digit, hence the letter.
  return "org.uicontrol.Browser.p" + std::string(digest.get(), 24);
}

GDBusConnection* ConnectSessionBus() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address || !*address) return nullptr;  // GLib would otherwise try to launch one
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    g_clear_error(&error);
    return nullptr;
  }
  g_dbus_connection_set_exit_on_close(bus, FALSE);
  if (g_dbus_connection_is_closed(bus)) {
    g_object_unref(bus);
    return nullptr;
  }
  return bus;
}

bool SessionBusReachable() {
  GDBusConnection* bus = ConnectSessionBus();
  if (bus) g_object_unref(bus);
  return bus != nullptr;
}

int HandOverThroughBus(const std::string& appId, const std::vector<std::string>& urls, std::string* error) {
  GError* failure = nullptr;
  GDBusConnection* bus = ConnectSessionBus();
  if (!bus) {
    *error = "no session bus";
    return -1;
  }
  // Only a browser that owns the name takes addresses this way; without one the caller
  // asks over the socket (a shell, or a browser started without a bus, may hold the profile).
  GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "NameHasOwner",
                                                g_variant_new("(s)", appId.c_str()), G_VARIANT_TYPE("(b)"),
                                                G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &failure);
  gboolean owned = FALSE;
  if (reply) {
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
  } else {
    *error = "the session bus did not answer: " + TakeMessage(failure);
  }
  int status = -1;
  GApplication* app = owned ? g_application_new(appId.c_str(), G_APPLICATION_HANDLES_OPEN) : nullptr;
  if (app && !g_application_register(app, nullptr, &failure)) {
    *error = "cannot register on the session bus: " + TakeMessage(failure);
  } else if (app && g_application_get_is_remote(app)) {
    if (urls.empty()) {
      g_application_activate(app);
    } else {
      std::vector<GFile*> files;
      for (const std::string& url : urls) {
        // A bus message carries UTF-8 only; any other byte becomes U+FFFD.
        GText valid(g_utf8_make_valid(url.c_str(), static_cast<gssize>(url.size())));
        files.push_back(g_file_new_for_uri(valid.get()));
      }
      g_application_open(app, files.data(), static_cast<gint>(files.size()), "");
      for (GFile* file : files) g_object_unref(file);
    }
    // The requests are on their way once written: the bus delivers them after this ends.
    if (g_dbus_connection_flush_sync(bus, nullptr, &failure)) status = 0;
    else *error = "the session bus took no request: " + TakeMessage(failure);
  } else if (app) {
    *error = "the browser on " + appId + " ended meanwhile";
  }
  if (app) g_object_unref(app);
  g_object_unref(bus);
  return status;
}

CDesktopApplication::CDesktopApplication(const std::string& appId)
    : m_id(appId), m_app(gtk_application_new(appId.c_str(), G_APPLICATION_HANDLES_OPEN)) {
  g_signal_connect(m_app, "open", G_CALLBACK(&CDesktopApplication::OnOpen), this);
  g_signal_connect(m_app, "activate", G_CALLBACK(&CDesktopApplication::OnActivate), this);
  GSimpleAction* newWindow = g_simple_action_new("new-window", nullptr);
  g_signal_connect(newWindow, "activate", G_CALLBACK(&CDesktopApplication::OnNewWindow), this);
  g_action_map_add_action(G_ACTION_MAP(m_app), G_ACTION(newWindow));
  g_object_unref(newWindow);
}

CDesktopApplication::~CDesktopApplication() {
  g_signal_handlers_disconnect_by_data(m_app, this);
  // Dropping the application gives the name on the bus back.
  g_object_unref(m_app);
}

bool CDesktopApplication::Register(bool* remote, std::string* error) {
  GError* failure = nullptr;
  *remote = false;
  if (!g_application_register(G_APPLICATION(m_app), nullptr, &failure)) {
    *error = TakeMessage(failure);
    return false;
  }
  *remote = g_application_get_is_remote(G_APPLICATION(m_app));
  return true;
}

void CDesktopApplication::SetSinks(Sinks sinks) {
  m_sinks = std::move(sinks);
  m_ready = true;
  std::vector<std::string> urls;
  urls.swap(m_pendingOpen);
  if (!urls.empty() && m_sinks.open) m_sinks.open(urls);
  for (; m_pendingActivate > 0; --m_pendingActivate)
    if (m_sinks.activate) m_sinks.activate();
  for (; m_pendingNewWindow > 0; --m_pendingNewWindow)
    if (m_sinks.newWindow) m_sinks.newWindow();
}

void CDesktopApplication::Withdraw() {
  m_sinks = Sinks();
  m_ready = false;
  GDBusConnection* bus = g_application_get_dbus_connection(G_APPLICATION(m_app));
  if (!bus) return;
  GError* failure = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "ReleaseName", g_variant_new("(s)", m_id.c_str()),
                                                G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &failure);
  if (reply) g_variant_unref(reply);
  else g_clear_error(&failure);  // the bus went: so did the name
}

void CDesktopApplication::OnOpen(GApplication*, GFile** files, gint count, const gchar*, gpointer data) {
  auto* self = static_cast<CDesktopApplication*>(data);
  std::vector<std::string> urls;
  for (gint i = 0; i < count; ++i) {
    GText uri(g_file_get_uri(files[i]));
    if (uri) urls.emplace_back(uri.get());
  }
  if (!self->m_ready) {
    self->m_pendingOpen.insert(self->m_pendingOpen.end(), urls.begin(), urls.end());
  } else if (self->m_sinks.open && !urls.empty()) {
    self->m_sinks.open(urls);
  }
}

void CDesktopApplication::OnActivate(GApplication*, gpointer data) {
  auto* self = static_cast<CDesktopApplication*>(data);
  if (!self->m_ready) ++self->m_pendingActivate;
  else if (self->m_sinks.activate) self->m_sinks.activate();
}

void CDesktopApplication::OnNewWindow(GSimpleAction*, GVariant*, gpointer data) {
  auto* self = static_cast<CDesktopApplication*>(data);
  if (!self->m_ready) ++self->m_pendingNewWindow;
  else if (self->m_sinks.newWindow) self->m_sinks.newWindow();
}

}  // namespace browser
