// Content blocking on WebKitGTK, the view's side: the web context loads the blocking
// extension (extension/) into every web process and keeps it told of the filter lists and
// the sites switched off; a page counts the requests its web process cancelled and
// hides elements with user style sheets of its view (the generic sheet made once and
// shared, the page's own per document).
#include <unistd.h>

#include <memory>
#include <sstream>

#include "components/pagecore/contentblocking.h"
#include "components/webkitpage/blockingprotocol.h"
#include "components/webkitpage/kitpage.h"
#include "components/webpage/weblog.h"
#include "platform/gtk/gtkthread.h"
#include "platform/text.h"

namespace webkitpage {

namespace {

const char kExtensionFile[] = "libuicontrol-blocking-extension.so";

// The first folder of the build's list that holds the extension; empty when none does.
std::string ExtensionFolder() {
  std::istringstream folders(UICONTROL_WEBKIT_EXTENSION_DIRS);
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && ::access((folder + "/" + kExtensionFile).c_str(), R_OK) == 0) return folder;
  }
  return "";
}

// What a web process is told: the lists of the host's filter set (none while it is not
// ready), the trusted origins and the sites switched off.
struct BlockingSource {
  std::shared_ptr<pagecore::CContentBlocker> blocker;
  std::vector<std::string> trusted;

  GVariant* Settings() const {
    blocking::Settings settings;
    if (std::shared_ptr<const contentfilter::FilterSet> filters = blocker->Filters()) {
      settings.ready = true;
      settings.files = filters->Stats().files;
      settings.trustedOrigins = trusted;
      settings.sitesOff = blocker->SitesOff();
    }
    return blocking::WriteSettings(settings);
  }
};

}  // namespace

void CKitContext::SetUpBlocking() {
  const std::shared_ptr<pagecore::CContentBlocker>& blocker = m_options.contentBlocker;
  if (!blocker) return;
  const std::string folder = ExtensionFolder();
  if (folder.empty()) {
    webpage::LogError(std::string("content blocking is off: ") + kExtensionFile + " was not found in " +
                      UICONTROL_WEBKIT_EXTENSION_DIRS);
    return;
  }
  webkit_web_context_set_web_extensions_directory(m_webContext, folder.c_str());
  // Each new web process starts with the settings of the moment. The source belongs to
  // the signal, which may outlive this context with the web context.
  g_signal_connect_data(
      m_webContext, "initialize-web-extensions", G_CALLBACK(+[](WebKitWebContext* context, gpointer source) {
        webkit_web_context_set_web_extensions_initialization_user_data(
            context, static_cast<BlockingSource*>(source)->Settings());
      }),
      new BlockingSource{blocker, m_trusted}, [](gpointer source, GClosure*) { delete static_cast<BlockingSource*>(source); },
      GConnectFlags(0));
  // The running ones hear of every change, on the GTK thread, in order. The listener
  // holds a reference to the web context (let go on the GTK thread), so that a change told
  // while the manager goes finds it still there.
  auto source = std::make_shared<BlockingSource>(BlockingSource{blocker, m_trusted});
  std::shared_ptr<WebKitWebContext> context(WEBKIT_WEB_CONTEXT(g_object_ref(m_webContext)), [](WebKitWebContext* gone) {
    platform::gtk::PostToGtkThread([gone] { g_object_unref(gone); });
  });
  m_blockingListener = blocker->AddListener([source, context] {
    platform::gtk::PostToGtkThread([source, context] {
      webkit_web_context_send_message_to_all_extensions(
          context.get(), webkit_user_message_new(blocking::kSettingsMessage, source->Settings()));
    });
  });
}

WebKitUserStyleSheet* CKitContext::GenericSheet(const std::shared_ptr<const std::string>& text) {
  if (!text) return nullptr;
  if (m_genericText != text) {
    if (m_genericSheet) webkit_user_style_sheet_unref(m_genericSheet);
    // Never on the host's own pages (WebKit's pattern: scheme, host, any path).
    std::vector<std::string> patterns;
    for (const std::string& origin : m_trusted) patterns.push_back(origin + "/*");
    std::vector<const char*> blockList;
    for (const std::string& pattern : patterns) blockList.push_back(pattern.c_str());
    blockList.push_back(nullptr);
    m_genericSheet = webkit_user_style_sheet_new(text->c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                                 WEBKIT_USER_STYLE_LEVEL_USER, nullptr, blockList.data());
    m_genericText = text;
  }
  return m_genericSheet;
}

void CKitPage::ApplyHiding() {
  pagecore::CContentBlocker* blocker = m_context->Options().contentBlocker.get();
  if (!blocker || !m_web) return;
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(m_web);
  const char* uri = webkit_web_view_get_uri(m_web);
  const std::string url = uri ? uri : "";
  const pagecore::CContentBlocker::Hiding hiding = blocker->HidingFor(url, url);
  WebKitUserStyleSheet* generic = m_context->GenericSheet(hiding.generic);
  if (m_hidingGeneric != generic) {
    if (m_hidingGeneric) webkit_user_content_manager_remove_style_sheet(content, m_hidingGeneric);
    if (generic) webkit_user_content_manager_add_style_sheet(content, generic);
    m_hidingGeneric = generic;
  }
  if (m_hidingOwn) {
    webkit_user_content_manager_remove_style_sheet(content, m_hidingOwn);
    webkit_user_style_sheet_unref(m_hidingOwn);
    m_hidingOwn = nullptr;
  }
  if (!hiding.own.empty()) {
    m_hidingOwn = webkit_user_style_sheet_new(hiding.own.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                              WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    webkit_user_content_manager_add_style_sheet(content, m_hidingOwn);
  }
}

void CKitPage::ReleaseHiding() {
  if (m_hidingOwn) webkit_user_style_sheet_unref(m_hidingOwn);
  m_hidingOwn = nullptr;
  m_hidingGeneric = nullptr;  // the context's
}

gboolean CKitPage::OnUserMessage(WebKitWebView*, WebKitUserMessage* message, gpointer self) {
  if (g_strcmp0(webkit_user_message_get_name(message), blocking::kBlockedMessage) != 0) return FALSE;
  auto* page = static_cast<CKitPage*>(self);
  if (page->CurrentState() != State::Open) return TRUE;
  page->m_report.CountBlocked();
  GVariant* parameters = webkit_user_message_get_parameters(message);
  const char* url = parameters && g_variant_is_of_type(parameters, G_VARIANT_TYPE_STRING)
                        ? g_variant_get_string(parameters, nullptr)
                        : "(unknown address)";
  page->m_report.LogLine("blocked", webpage::LogLevel::Info, page->Describe() + ": blocked " + url);
  return TRUE;
}

}  // namespace webkitpage
