// The orders of a page, carried out on the GTK thread, and the answers WebKit gives to
// them (scripts, find, snapshots, the page's own requests).
#include <cairo.h>
#include <glib/gstdio.h>

#include <climits>

#include "components/pagecore/trust.h"
#include "components/webkitpage/gtktimer.h"
#include "components/webkitpage/kitpage.h"
#include "components/webkitpage/pagebridge.h"
#include "components/webpage/origin.h"
#include "components/webpage/pagescript.h"
#include "components/webpage/pagetext.h"
#include "components/webpage/savefile.h"
#include "components/webpage/weblog.h"
#include "components/webpage/pageoutcomes.h"
#include "platform/gtk/gtkwindows.h"
#include "platform/text.h"
#include "platform/window.h"

namespace webkitpage {
namespace {

using webpage::LogInfo;
using webpage::LogWarning;

std::string Utf8(const std::wstring& text) { return platform::WideToUtf8(text); }

using pagecore::WorthKeeping;

// What an asynchronous WebKit call carries to its callback: the page stays alive until
// the answer comes (a closed page's calls are cancelled and answer at once).
template <class Done>
struct Pending {
  std::shared_ptr<CKitPage> page;
  Done done;
};

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void CKitPage::Execute(const Order& order) {
  State state = CurrentState();
  if (state == State::Crashed && order.kind != OrderKind::CloseTab) {
    // WebKit starts a new web process for the next load: the page comes back where it was.
    State crashed = State::Crashed;
    if (m_state.compare_exchange_strong(crashed, State::Open)) {
      auto reload = [this] { webkit_web_view_reload(m_web); };
      if (!pagecore::Revive(order, m_report.Url(), m_afterRevival, reload, Describe())) return;
      state = State::Open;
    }
  }
  if (state != State::Open && !(order.kind == OrderKind::CloseTab && state == State::Crashed))
    return pagecore::LogDroppedOrder(Describe(), order, state == State::Crashed);
  if (!m_web) return;  // closed meanwhile
  pagecore::CarryOut(order, m_context->Options(), *this);
}

void CKitPage::StopLoading() {
  m_load.cancelled = true;
  webkit_web_view_stop_loading(m_web);
  FinishNavigation();
}

void CKitPage::Reload() {
  if (!WorthKeeping(m_report.Url())) return;
  ApplyUserContent();
  webkit_web_view_reload(m_web);
}

void CKitPage::MoveView(const RECT& rect) {
  platform::gtk::MoveView(m_hwnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

void CKitPage::RefuseNavigation(const std::string& why) { ReportError(0, why, L""); }

void CKitPage::RunAfterRevival() {
  for (const Order& order : m_afterRevival.End()) Execute(order);
}

void CKitPage::Navigate(const std::wstring& url) {
  m_requestedUrl = url;
  ApplyUserContent();
  webkit_web_view_load_uri(m_web, Utf8(url).c_str());
}

void CKitPage::GoBy(int step, const std::wstring& name) {
  const bool can = step < 0 ? webkit_web_view_can_go_back(m_web) : webkit_web_view_can_go_forward(m_web);
  if (!can) {
    LogInfo(Describe() + ": " + Utf8(name) + " has no page to go to");
    return;
  }
  if (step < 0) webkit_web_view_go_back(m_web);
  else webkit_web_view_go_forward(m_web);
}

void CKitPage::RunScript(const std::string& script,
                         std::function<void(const std::string& error, const std::string& json)> done) {
  using Done = std::function<void(const std::string&, const std::string&)>;
  auto* pending = new Pending<Done>{shared_from_this(), std::move(done)};
  webkit_web_view_evaluate_javascript(
      m_web, script.c_str(), static_cast<gssize>(script.size()), kEngineWorld, nullptr, m_cancel,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Pending<Done>> pending(static_cast<Pending<Done>*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        if (pending->page->CurrentState() != State::Open) {
          if (error) g_error_free(error);
          if (value) g_object_unref(value);
          return;
        }
        if (!value) {
          std::string why = error && error->message ? error->message : "the script gave no answer";
          if (error) g_error_free(error);
          pending->done(why, "");
          return;
        }
        char* json = jsc_value_to_json(value, 0);
        std::string text = json ? json : "null";
        g_free(json);
        g_object_unref(value);
        pending->done("", text);
      },
      pending);
}

pagecore::CSaveJob::Hooks CKitPage::SaveHooks() {
  pagecore::CSaveJob::Hooks hooks;
  hooks.emit = [this](const wchar_t* key, const KeyValues& values) { Emit(key, values); };
  hooks.runLater = m_report.RunLater();
  hooks.folder = m_context->DownloadsFolder();
  hooks.name = Describe();
  return hooks;
}

std::shared_ptr<pagecore::CSaveJob> CKitPage::StartSave(const std::string& kind) {
  return pagecore::CSaveJob::Start(SaveHooks(), kind, m_report.Title(), m_report.Url(),
                                   m_context->Options().saveTimeout, "WebKit did not answer in time");
}

void CKitPage::Save(const std::string& kind) {
  if (kind == "pdf") return Print();
  std::shared_ptr<pagecore::CSaveJob> job = StartSave(kind);
  if (kind == "html") {
    RunScript(HtmlScript(), [job](const std::string& error, const std::string& json) {
      webpage::Json value = webpage::Json::parse(json, nullptr, false);
      if (!error.empty() || !value.is_string()) return job->Fail("the page's HTML could not be read");
      job->Deliver(value.get<std::string>());
    });
    return;
  }
  using Done = std::function<void(cairo_surface_t*, const std::string&)>;
  auto* pending = new Pending<Done>{shared_from_this(), [job](cairo_surface_t* surface, const std::string& error) {
                                      if (job->Finished()) return;
                                      if (!surface) return job->Fail(error);
                                      std::string bytes;
                                      if (cairo_surface_write_to_png_stream(surface, AppendPng, &bytes) !=
                                              CAIRO_STATUS_SUCCESS ||
                                          bytes.empty())
                                        return job->Fail("the image could not be written");
                                      job->Deliver(bytes);
                                    }};
  webkit_web_view_get_snapshot(
      m_web, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, m_cancel,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Pending<Done>> pending(static_cast<Pending<Done>*>(data));
        GError* error = nullptr;
        cairo_surface_t* surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, &error);
        std::string why = error && error->message ? error->message : "no image of the page";
        if (error) g_error_free(error);
        if (pending->page->CurrentState() == State::Open) pending->done(surface, why);
        if (surface) cairo_surface_destroy(surface);
      },
      pending);
}

void CKitPage::ViewSource() {
  const std::wstring& shown = m_report.Url();
  if (!WorthKeeping(shown) || shown.compare(0, 12, L"view-source:") == 0)
    return pagecore::ReportNoSource(*this);
  WebKitWebResource* resource = webkit_web_view_get_main_resource(m_web);
  if (!resource) return pagecore::ReportNoSource(*this);
  using Done = std::function<void(const std::string* source, const std::string& error)>;
  const std::wstring url = L"view-source:" + shown;
  auto* pending = new Pending<Done>{shared_from_this(), [this, url](const std::string* source, const std::string& error) {
                                      if (!source) {
                                        LogWarning(Describe() + ": VIEWSOURCE failed: " + error);
                                        return;
                                      }
                                      m_context->KeepSource(Utf8(url), *source);
                                      // The source window waits, like a window the page opened, for
                                      // the host to adopt it.
                                      WebKitWebView* window = NewWebView(nullptr);
                                      webkit_web_view_load_uri(window, Utf8(url).c_str());
                                      m_popups.Add(window, url);
                                      pagecore::ReportNewWindow(*this, url);
                                    }};
  webkit_web_resource_get_data(
      resource, m_cancel,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Pending<Done>> pending(static_cast<Pending<Done>*>(data));
        GError* error = nullptr;
        gsize length = 0;
        guchar* bytes = webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result, &length, &error);
        std::string why = error && error->message ? error->message : "no source";
        if (error) g_error_free(error);
        if (pending->page->CurrentState() == State::Open) {
          if (bytes) {
            std::string text(reinterpret_cast<const char*>(bytes), length);
            pending->done(&text, why);
          } else {
            pending->done(nullptr, why);
          }
        }
        g_free(bytes);
      },
      pending);
}

void CKitPage::Print() {
  // A PDF through GTK's "Print to File" printer, then moved into the downloads folder
  // under the page's name.
  std::string folder = m_context->DownloadsFolder();
  g_mkdir_with_parents(folder.c_str(), 0755);
  std::string staging = folder + "/.uicontrol-print-XXXXXX";
  std::vector<char> pattern(staging.begin(), staging.end());
  pattern.push_back('\0');
  if (!g_mkdtemp(pattern.data())) return pagecore::CSaveJob::Report(SaveHooks(), "pdf", "", "no folder for the printed file");
  const std::string dir = pattern.data();
  const std::string file = dir + "/page.pdf";
  gchar* uri = g_filename_to_uri(file.c_str(), nullptr, nullptr);
  GtkPrintSettings* settings = gtk_print_settings_new();
  gtk_print_settings_set_printer(settings, "Print to File");
  gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
  gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, uri);
  g_free(uri);
  WebKitPrintOperation* operation = webkit_print_operation_new(m_web);
  webkit_print_operation_set_print_settings(operation, settings);
  g_object_unref(settings);
  struct Job {
    std::shared_ptr<CKitPage> page;
    std::shared_ptr<pagecore::CSaveJob> save;
    std::string dir, file, error;
  };
  auto* job = new Job{shared_from_this(), StartSave("pdf"), dir, file, ""};
  g_signal_connect(operation, "failed", G_CALLBACK(+[](WebKitPrintOperation*, GError* error, gpointer data) {
                     static_cast<Job*>(data)->error = error && error->message ? error->message : "printing failed";
                   }),
                   job);
  g_signal_connect(operation, "finished", G_CALLBACK(+[](WebKitPrintOperation* operation, gpointer data) {
                     std::unique_ptr<Job> job(static_cast<Job*>(data));
                     CKitPage* page = job->page.get();
                     if (page->CurrentState() == State::Open) {
                       if (job->error.empty()) job->save->DeliverFile(job->file);
                       else job->save->Fail(job->error);
                     }
                     g_remove(job->file.c_str());
                     g_rmdir(job->dir.c_str());
                     g_object_unref(operation);
                   }),
                   job);
  webkit_print_operation_print(operation);
}

void CKitPage::Find(const std::wstring& text) {
  m_finds.push_back(text);
  if (m_finds.size() == 1) {
    webkit_find_controller_count_matches(webkit_web_view_get_find_controller(m_web), Utf8(text).c_str(),
                                         WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE, G_MAXUINT);
  }
}

void CKitPage::OnCountedMatches(WebKitFindController* finder, guint count, gpointer data) {
  CKitPage* self = static_cast<CKitPage*>(data);
  if (self->m_finds.empty() || self->CurrentState() != State::Open) return;
  self->m_findCount = count;
  const std::wstring& text = self->m_finds.front();
  if (count == 0) return OnNotFound(finder, data);
  // The same words again: the next match, as a find bar's "next" does.
  if (text == self->m_findText && webkit_find_controller_get_search_text(finder)) {
    webkit_find_controller_search_next(finder);
  } else {
    self->m_findText = text;
    webkit_find_controller_search(finder, Utf8(text).c_str(),
                                  WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND, G_MAXUINT);
  }
}

void CKitPage::OnFound(WebKitFindController* finder, guint, gpointer data) {
  CKitPage* self = static_cast<CKitPage*>(data);
  if (self->m_finds.empty() || self->CurrentState() != State::Open) return;
  std::wstring text = self->m_finds.front();
  self->m_finds.pop_front();
  pagecore::ReportFound(*self, std::max(1u, self->m_findCount), true, text);
  if (!self->m_finds.empty())
    webkit_find_controller_count_matches(finder, Utf8(self->m_finds.front()).c_str(),
                                         WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE, G_MAXUINT);
}

void CKitPage::OnNotFound(WebKitFindController* finder, gpointer data) {
  CKitPage* self = static_cast<CKitPage*>(data);
  if (self->m_finds.empty() || self->CurrentState() != State::Open) return;
  std::wstring text = self->m_finds.front();
  self->m_finds.pop_front();
  self->m_findText.clear();
  pagecore::ReportFound(*self, 0, false, text);
  if (!self->m_finds.empty())
    webkit_find_controller_count_matches(finder, Utf8(self->m_finds.front()).c_str(),
                                         WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE, G_MAXUINT);
}

void CKitPage::SetAudio(bool enable) {
  m_muted = !enable;
  webkit_web_view_set_is_muted(m_web, m_muted);
}

void CKitPage::ReadText(bool source) {
  RunScript(source ? webpage::PageSourceScript() : webpage::PageTextScript(),
            [this, source](const std::string& error, const std::string& json) {
              KeyValues values;
              std::string why = error;
              if (why.empty()) {
                webpage::Json result = webpage::Json::parse(json, nullptr, false);
                if (webpage::PageTextValues(result, source, &values, &why))
                  return pagecore::ReportPageText(*this, values);
              }
              pagecore::ReportPageTextError(*this, why);
            });
}

void CKitPage::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  CKitPage* self = static_cast<CKitPage*>(data);
  JSCValue* value = result ? webkit_javascript_result_get_js_value(result) : nullptr;
  if (self->CurrentState() != State::Open || !value || !jsc_value_is_string(value)) return;
  char* text = jsc_value_to_string(value);
  std::string json = text ? text : "";
  g_free(text);
  self->OnPageMessage(json);
}

void CKitPage::OnPageMessage(const std::string& json) {
  webpage::PageMessage message;
  std::string error;
  if (!webpage::ParsePageMessage(json, &message, &error)) {
    LogWarning(Describe() + ": " + error);
    return;
  }
  OnRequest(message);
}

void CKitPage::OnRequest(const webpage::PageMessage& message) {
  // Judged by the document the view shows, not by what the message says. The page's
  // requests reach this engine only from the top-level document (the relay runs there,
  // and WebKit's close signal is the view's own).
  pagecore::RequestSource source;
  const char* uri = m_web ? webkit_web_view_get_uri(m_web) : nullptr;
  source.trustedOrigin = uri && webpage::NormalizeOrigin(uri, &source.origin) &&
                         webpage::IsTrustedOrigin(m_context->TrustedOrigins(), source.origin);
  source.topDocument = true;
  source.openedByPage = m_openedByPage;
  if (!pagecore::ObeyRequest(message.type, source, m_report, Describe())) return;
  if (pagecore::ShowFavouriteDialog(message, *this)) return;
  pagecore::CPageReport::Document& doc = m_report.Doc();
  if (message.type == webpage::PageMessage::Type::Close && !doc.closeAsked) {
    doc.closeAsked = true;
    pagecore::ReportCloseAsked(*this, m_report.Url());
  }
}

}  // namespace webkitpage
