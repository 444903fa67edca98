// The page's WebKitWebView on the GTK thread: its creation, WebKit's signals and the
// navigation events they become.
#include <libsoup/soup.h>

#include <algorithm>
#include <functional>

#include "components/pagecore/recovery.h"
#include "components/pagecore/trust.h"
#include "components/webkitpage/gtktimer.h"
#include "components/webkitpage/kitpage.h"
#include "components/webkitpage/pagebridge.h"
#include "components/webpage/jsonread.h"
#include "components/webpage/origin.h"
#include "components/webpage/pagescript.h"
#include "components/webpage/weblog.h"
#include "platform/gtk/gtkthread.h"
#include "platform/gtk/gtkwindows.h"
#include "platform/text.h"

namespace webkitpage {
namespace {

using webpage::LogInfo;
using webpage::LogWarning;

std::string Utf8(const std::wstring& text) { return platform::WideToUtf8(text); }
std::wstring Wide(const char* text) { return text ? platform::Utf8ToWide(text) : std::wstring(); }
std::wstring Wide(const std::string& text) { return platform::Utf8ToWide(text); }

CKitPage* Page(gpointer data) { return static_cast<CKitPage*>(data); }

// WebKit's network errors under the names the Chromium engine reports, so that the host
// sees one text per failure whichever engine runs.
std::string ErrorText(const GError* error) {
  if (error->domain == G_IO_ERROR) {
    switch (error->code) {
      case G_IO_ERROR_CONNECTION_REFUSED: return "net::ERR_CONNECTION_REFUSED";
      case G_IO_ERROR_TIMED_OUT: return "net::ERR_TIMED_OUT";
      case G_IO_ERROR_HOST_UNREACHABLE: return "net::ERR_ADDRESS_UNREACHABLE";
      case G_IO_ERROR_NETWORK_UNREACHABLE: return "net::ERR_INTERNET_DISCONNECTED";
      case G_IO_ERROR_CONNECTION_CLOSED: return "net::ERR_CONNECTION_CLOSED";
      default: break;
    }
  }
  if (error->domain == G_RESOLVER_ERROR) return "net::ERR_NAME_NOT_RESOLVED";
  return error->message ? error->message : "the page could not be loaded";
}

// Marks a waiting window whose page called window.close() before the host adopted it.
const char kClosedEarly[] = "uicontrol-closed-early";

const char kErrorPage[] =
    "<!DOCTYPE html><html><head><meta charset=utf-8><title></title></head>"
    "<body><p>This page could not be loaded.</p></body></html>";

}  // namespace

WebKitWebView* CKitPage::NewWebView(WebKitWebView* related) {
  WebKitSettings* settings = webkit_settings_new();
  // Rendering without a GPU works everywhere, also on a virtual display.
  webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  // Windows are judged in "create" (user gesture or not), where a refusal can be reported.
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  InstallBridge(content, m_context->TrustedOrigins());
  InstallUserScriptReports(content);
  GObject* object;
  if (related) {
    object = G_OBJECT(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related, "settings", settings,
                                   "user-content-manager", content, nullptr));
  } else {
    object = G_OBJECT(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_context->WebContext(), "settings", settings,
                                   "user-content-manager", content, nullptr));
  }
  g_object_unref(settings);
  g_object_unref(content);
  g_object_ref_sink(object);
  return WEBKIT_WEB_VIEW(object);
}

void CKitPage::CreateView() {
  if (CurrentState() == State::Closed) {
    if (m_web) {
      gtk_widget_destroy(GTK_WIDGET(m_web));
      g_object_unref(m_web);
      m_web = nullptr;
    }
    return;
  }
  m_cancel = g_cancellable_new();
  const bool adopted = m_web != nullptr;
  if (!adopted) m_web = NewWebView(nullptr);
  Connect();
  // A new view (also one after a crash) has none of the user content yet.
  ReleaseUserContent();
  m_userContent.reset();
  ApplyUserContent();
  ApplyFontSize(m_data.FontSize());
  ApplyZoom();
  platform::gtk::AttachView(m_hwnd, GTK_WIDGET(m_web));
  if (adopted) {
    AdoptLoadedState();
    if (g_object_get_data(G_OBJECT(m_web), kClosedEarly)) OnClose(m_web, this);
  }
}

void CKitPage::Connect() {
  GObject* web = G_OBJECT(m_web);
  g_signal_connect(web, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(web, "load-failed", G_CALLBACK(OnLoadFailed), this);
  for (const char* property : {"notify::title", "notify::uri", "notify::is-loading", "notify::estimated-load-progress",
                               "notify::is-playing-audio", "notify::favicon"})
    g_signal_connect(web, property, G_CALLBACK(OnNotify), this);
  g_signal_connect(web, "create", G_CALLBACK(OnCreate), this);
  g_signal_connect(web, "close", G_CALLBACK(OnClose), this);
  g_signal_connect(web, "web-process-terminated", G_CALLBACK(OnCrashed), this);
  g_signal_connect(web, "mouse-target-changed", G_CALLBACK(OnMouseTarget), this);
  g_signal_connect(web, "script-dialog", G_CALLBACK(OnScriptDialog), this);
  ConnectLinks();
  g_signal_connect(webkit_web_view_get_back_forward_list(m_web), "changed", G_CALLBACK(OnHistoryChanged), this);
  WebKitFindController* finder = webkit_web_view_get_find_controller(m_web);
  g_signal_connect(finder, "counted-matches", G_CALLBACK(OnCountedMatches), this);
  g_signal_connect(finder, "found-text", G_CALLBACK(OnFound), this);
  g_signal_connect(finder, "failed-to-find-text", G_CALLBACK(OnNotFound), this);
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(m_web);
  g_signal_connect(content, "script-message-received::" kBridgeHandler, G_CALLBACK(OnScriptMessage), this);
  g_signal_connect(content, "script-message-received::uicontrolUserScript", G_CALLBACK(OnUserScriptMessage), this);
  g_signal_connect(web, "user-message-received", G_CALLBACK(OnUserMessage), this);
  WatchResponsiveness();
}

void CKitPage::AdoptLoadedState() {
  // A window that a page opened has loaded (or started to) before the host took it.
  const char* uri = webkit_web_view_get_uri(m_web);
  if (!uri || !*uri) return;
  BeginNavigation(Wide(uri));
  if (webkit_web_view_is_loading(m_web)) return;
  Committed();
  Loaded();
}

void CKitPage::Close(bool keepForRecovery) {
  const State before = m_state.exchange(State::Closed);
  if (before == State::Closed) return;
  m_report.StopLoading();
  if (keepForRecovery) {
    pagecore::KeepForRecovery(m_context->Options().onTabClosedForRecovery, m_report.Url(), m_requestedUrl,
                              m_report.Title());
  }
  if (m_cancel) g_cancellable_cancel(m_cancel);
  if (m_web) {
    g_signal_handlers_disconnect_by_data(m_web, this);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(m_web), this);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(m_web), this);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(m_web), this);
    platform::gtk::DetachView(m_hwnd);
    gtk_widget_destroy(GTK_WIDGET(m_web));
    g_object_unref(m_web);
    m_web = nullptr;
  }
  ReleaseHiding();
  ReleaseUserContent();
  m_userContent.reset();
  if (m_cancel) {
    g_object_unref(m_cancel);
    m_cancel = nullptr;
  }
  if (m_openLink) {
    g_object_unref(m_openLink);
    m_openLink = nullptr;
  }
  // Windows this page opened that the host never took go with it.
  for (WebKitWebView* popup : m_popups.TakeAll()) {
    gtk_widget_destroy(GTK_WIDGET(popup));
    g_object_unref(popup);
  }
  m_hub->ReleaseSinks();
  m_context->Remove(this);
}

void CKitPage::ApplyZoom() {
  if (m_web) webkit_web_view_set_zoom_level(m_web, m_context->Zoom() / 100.0);
}

void CKitPage::ApplyFontSize(uint32_t size) {
  if (!m_web) return;
  const int pixels = webpage::FontSizePixels(size);
  WebKitSettings* settings = webkit_web_view_get_settings(m_web);
  webkit_settings_set_default_font_size(settings, static_cast<guint32>(pixels));
  webkit_settings_set_default_monospace_font_size(settings, static_cast<guint32>(pixels * 13 / 16));
}

// ---------------------------------------------------------------- WebKit's signals

void CKitPage::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
  CKitPage* self = Page(data);
  if (self->CurrentState() != State::Open) return;
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      // The engine's own error page belongs to the navigation that failed.
      if (!self->m_load.errorPage) self->BeginNavigation(Wide(webkit_web_view_get_uri(view)));
      break;
    case WEBKIT_LOAD_REDIRECTED:
      self->m_report.Redirected(Wide(webkit_web_view_get_uri(view)));
      break;
    case WEBKIT_LOAD_COMMITTED:
      self->m_load.errorPage = false;
      self->Committed();
      break;
    case WEBKIT_LOAD_FINISHED:
      if (self->m_load.errorPage) break;  // the failed load ends; its error page follows
      if (self->m_load.cancelled || !self->m_load.committed) self->FinishNavigation();
      else self->Loaded();
      break;
  }
}

gboolean CKitPage::OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri, GError* error, gpointer data) {
  CKitPage* self = Page(data);
  if (self->CurrentState() != State::Open) return TRUE;
  // Stopped, replaced by another navigation, or turned into a download: no failure.
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
      g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
      g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
    self->m_load.cancelled = true;
    return TRUE;
  }
  const std::wstring url = Wide(uri);
  self->ReportError(0, ErrorText(error), url);
  if (event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_REDIRECTED) {
    // As in the Chromium engine, an error page shows the address that was asked for.
    self->m_load.errorPage = true;
    webkit_web_view_load_alternate_html(view, kErrorPage, uri, nullptr);
  }
  return TRUE;
}

void CKitPage::OnNotify(GObject* object, GParamSpec* spec, gpointer data) {
  CKitPage* self = Page(data);
  if (self->CurrentState() != State::Open) return;
  WebKitWebView* view = WEBKIT_WEB_VIEW(object);
  const std::string name = g_param_spec_get_name(spec);
  if (name == "title") {
    const std::wstring title = Wide(webkit_web_view_get_title(view));
    // A new document starts without a title; its address stands in for it at load.
    if (!title.empty()) self->m_report.OfferTitle(title);
    else self->m_report.SetTitle(title);
    self->StoreHistory();
  } else if (name == "uri") {
    // A new address without a load: a same-document navigation (fragment, pushState).
    // A new address without a load of its own is a same-document navigation (fragment,
    // pushState). Looked at once WebKit is done with the change: a load that starts with
    // it comes first; one WebKit marks as loading is looked at when it stops.
    const std::wstring url = Wide(webkit_web_view_get_uri(view));
    const std::wstring& shown = self->m_report.Url();
    if (self->m_report.Loading() || shown.empty() || url.empty() || url == shown) return;
    self->m_sameDocument = url;
    std::weak_ptr<CKitPage> weak = self->shared_from_this();
    RunAfter(std::chrono::milliseconds(0), [weak] {
      auto page = weak.lock();
      if (page && page->m_web && !webkit_web_view_is_loading(page->m_web)) page->CheckSameDocument();
    });
  } else if (name == "is-loading") {
    if (!webkit_web_view_is_loading(view)) self->CheckSameDocument();
  } else if (name == "estimated-load-progress") {
    // Between commit (50) and load (100), WebKit's own estimate.
    if (self->m_report.Loading() && self->m_load.committed) {
      const int percent = static_cast<int>(webkit_web_view_get_estimated_load_progress(view) * 100);
      self->m_report.Progress(std::min(99, percent));
    }
  } else if (name == "is-playing-audio") {
    const bool playing = webkit_web_view_is_playing_audio(view);
    if (playing != self->m_playing) {
      self->m_playing = playing;
      pagecore::ReportAudio(*self, playing);
    }
  } else if (name == "favicon") {
    if (!self->m_report.Loading()) self->ReadDocument(nullptr);
  }
}

void CKitPage::OnHistoryChanged(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer, gpointer data) {
  CKitPage* self = Page(data);
  if (self->CurrentState() == State::Open) self->StoreHistory();
}

GtkWidget* CKitPage::OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer data) {
  CKitPage* self = Page(data);
  if (self->CurrentState() != State::Open) return nullptr;
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const std::wstring url = Wide(request ? webkit_uri_request_get_uri(request) : "");
  pagecore::WindowRequest asked;
  asked.url = url;
  asked.userGesture = webkit_navigation_action_is_user_gesture(action);
  auto emit = [self](const wchar_t* key, const KeyValues& values) { self->Emit(key, values); };
  auto log = [self](const std::string& text) { self->m_report.LogLine("popup", webpage::LogLevel::Info, text); };
  if (pagecore::JudgeOpenedWindow(asked, self->m_context->Options().blockPopups, self->m_popupBudget,
                                  self->m_report.Doc(), self->Describe(), emit, log) != pagecore::WindowVerdict::Open) {
    return nullptr;
  }
  WebKitWebView* popup = self->NewWebView(view);
  // A window that closes itself before the host adopts it is told so at adoption.
  g_signal_connect(popup, "close", G_CALLBACK(+[](WebKitWebView* closing, gpointer) {
                     g_object_set_data(G_OBJECT(closing), kClosedEarly, GINT_TO_POINTER(1));
                   }),
                   nullptr);
  self->m_popups.Add(popup, url);
  pagecore::ReportNewWindow(*self, url);
  // WebKit takes the view as it is; the page keeps its own reference until the host
  // adopts it (NewLinkPage) or the page closes.
  return GTK_WIDGET(popup);
}

void CKitPage::OnClose(WebKitWebView*, gpointer data) {
  CKitPage* self = Page(data);
  if (self->CurrentState() != State::Open) return;
  webpage::PageMessage close;
  close.type = webpage::PageMessage::Type::Close;
  self->OnRequest(close);
}

gboolean CKitPage::OnCrashed(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data) {
  const char* status = reason == WEBKIT_WEB_PROCESS_CRASHED                    ? "crashed"
                       : reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT    ? "oom"
                       : reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API        ? "killed"
                                                                               : "terminated";
  Page(data)->Crashed(status);
  return TRUE;
}

void CKitPage::OnMouseTarget(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer data) {
  CKitPage* self = Page(data);
  if (self->CurrentState() != State::Open) return;
  const bool link = webkit_hit_test_result_context_is_link(hit);
  self->m_report.OfferStatus(link ? Wide(webkit_hit_test_result_get_link_uri(hit)) : std::wstring());
}

gboolean CKitPage::OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
  // Nobody answers a dialog here: alerts are acknowledged, questions declined, and
  // leaving a page is allowed, so that no page can stall.
  CKitPage* self = Page(data);
  const char* type = "alert";
  bool accept = true;
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT: break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      type = "confirm";
      accept = false;
      webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
      break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
      type = "prompt";
      accept = false;
      break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      type = "beforeunload";
      webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
      break;
  }
  const char* message = webkit_script_dialog_get_message(dialog);
  self->m_report.LogLine("dialog", webpage::LogLevel::Info,
                         self->Describe() + ": " + type + " dialog \"" + (message ? message : "") + "\" " +
                             (accept ? "acknowledged" : "declined"));
  return TRUE;
}

// ---------------------------------------------------------------- navigation events

void CKitPage::BeginNavigation(const std::wstring& url) {
  m_sameDocument.clear();
  m_load = Load();
  ApplyUserContent();
  m_report.Begin(url);
}

void CKitPage::Committed() {
  const std::wstring url = Wide(webkit_web_view_get_uri(m_web));
  if (!m_report.Loading()) BeginNavigation(url);
  m_load.committed = true;
  m_requestedUrl.clear();
  m_report.Progress(30);
  // An HTTP error still shows the server's page; the host hears of the status first, as
  // of a response that came before its document.
  WebKitWebResource* resource = webkit_web_view_get_main_resource(m_web);
  WebKitURIResponse* response = resource ? webkit_web_resource_get_response(resource) : nullptr;
  const guint status = response ? webkit_uri_response_get_status_code(response) : 0;
  if (status >= 400 && status < 1000) {
    const char* phrase = soup_status_get_phrase(status);
    ReportError(status, "HTTP " + std::to_string(status) + (phrase ? std::string(" ") + phrase : std::string()), url);
  }
  m_report.Commit(url, Wide(webkit_web_view_get_title(m_web)));
  ApplyHiding();
  StoreHistory();
}

void CKitPage::CheckSameDocument() {
  std::wstring url;
  url.swap(m_sameDocument);
  if (url.empty() || CurrentState() != State::Open || m_report.Loading() || url == m_report.Url()) return;
  if (url == Wide(webkit_web_view_get_uri(m_web))) SameDocument(url);
}

void CKitPage::SameDocument(const std::wstring& url) {
  m_report.SameDocument(url);
  StoreHistory();
}

void CKitPage::Loaded() {
  if (m_report.Url().empty()) m_report.SetUrl(Wide(webkit_web_view_get_uri(m_web)));
  if (m_report.Url().empty()) return;
  // WebKit tells of the title only after the load, and never of the icon's address: both
  // are read from the document first, so that they come before DOCUMENTCOMPLETE.
  const uint64_t generation = m_report.Generation();
  ReadDocument([this, generation] {
    if (generation != m_report.Generation() || m_report.Doc().completeSent) return;
    m_report.Complete();
    StoreHistory();
    RunAfterRevival();
  });
}

void CKitPage::FinishNavigation() {
  if (!m_report.Finish()) return;
  RunAfterRevival();
}

void CKitPage::ReportError(uint32_t status, const std::string& text, const std::wstring& url) {
  m_report.Error(status, text, url);
}

void CKitPage::ReadDocument(std::function<void()> then) {
  const uint64_t generation = m_report.Generation();
  RunScript(DocumentScript(), [this, generation, then](const std::string& error, const std::string& json) {
    if (generation != m_report.Generation()) return;  // another document by now
    webpage::Json value = error.empty() ? webpage::Json::parse(json, nullptr, false) : webpage::Json();
    const std::string title = webpage::JsonText(value, "title");
    if (m_report.Title().empty() && !title.empty()) m_report.SetTitle(Wide(title));
    m_report.EmitTitle();
    std::wstring declared = Wide(webpage::JsonText(value, "icon"));
    if (declared.size() > webpage::kPageTextLimit) declared.clear();
    m_report.OfferIcon(declared);
    if (then) then();
  });
}

void CKitPage::StoreHistory() {
  if (!m_web) return;
  WebKitBackForwardList* list = webkit_web_view_get_back_forward_list(m_web);
  webpage::NavigationHistory history;
  GList* back = webkit_back_forward_list_get_back_list(list);
  GList* fore = webkit_back_forward_list_get_forward_list(list);
  const int backCount = static_cast<int>(g_list_length(back));
  const int foreCount = static_cast<int>(g_list_length(fore));
  g_list_free(back);
  g_list_free(fore);
  for (int i = -backCount; i <= foreCount; ++i) {
    WebKitBackForwardListItem* item = webkit_back_forward_list_get_nth_item(list, i);
    if (!item) continue;
    if (i == 0) history.current = static_cast<int>(history.entries.size());
    webpage::HistoryEntry entry;
    entry.url = Wide(webkit_back_forward_list_item_get_uri(item));
    entry.title = Wide(webkit_back_forward_list_item_get_title(item));
    history.entries.push_back(std::move(entry));
  }
  const bool canBack = history.current > 0;
  const bool canForward = history.current >= 0 && history.current + 1 < static_cast<int>(history.entries.size());
  m_data.SetHistory(std::move(history));
  m_report.BackForward(canBack, canForward);
}

void CKitPage::Crashed(const std::string& status) {
  State open = State::Open;
  if (!m_state.compare_exchange_strong(open, State::Crashed)) return;
  m_report.StopLoading();
  webpage::LogError(Describe() + " crashed (" + status + ") at " + Utf8(m_report.Url()));
  m_crashes.Add();
  m_hang.Ended();
  // The sinks stay: the page comes back in the same tab, with the same subscribers.
  pagecore::ReportCrash(*this, status);
}

}  // namespace webkitpage
