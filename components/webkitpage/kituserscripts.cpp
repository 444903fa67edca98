// The WebKit page: user scripts and styles (components/pagecore/userscripts.h), as user
// scripts of the view's content manager in the page's main world, top frame only, each
// guarded by its patterns (WebKit's own allow-lists know no ports, which the patterns do).
// The set is looked at again as a top-level navigation begins and before a navigation or
// a reload is ordered, and installed again only when a file changed. A user script's
// failure comes back through a message handler of the main world as a page log line.
#include "components/pagecore/userscripts.h"
#include "components/webkitpage/kitpage.h"

namespace webkitpage {

namespace {

// Its signal is connected by name in kitpageview.cpp (CKitPage::Connect).
const char kUserScriptHandler[] = "uicontrolUserScript";

}  // namespace

void CKitPage::InstallUserScriptReports(WebKitUserContentManager* content) {
  webkit_user_content_manager_register_script_message_handler(content, kUserScriptHandler);
}

void CKitPage::ApplyUserContent() {
  pagecore::CUserContentFolders* folders = m_context->Options().userContent.get();
  if (!folders || !m_web) return;
  std::shared_ptr<const pagecore::UserContent> current = folders->Current();
  if (current == m_userContent) return;
  m_userContent = current;
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(m_web);
  for (WebKitUserScript* script : m_userScripts) webkit_user_content_manager_remove_script(content, script);
  ReleaseUserContent();
  // The handler's own function, taken before the page's scripts may replace it.
  const std::string report = std::string("((handler) => (text) => handler.postMessage(text))(window.webkit.messageHandlers.") +
                             kUserScriptHandler + ")";
  auto add = [&](const std::string& source, bool atStart) {
    WebKitUserScript* script = webkit_user_script_new(
        source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        atStart ? WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START : WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, script);
    m_userScripts.push_back(script);
  };
  for (const pagecore::UserStyle& style : current->styles) add(pagecore::PageScriptFor(style, m_context->TrustedOrigins()), true);
  for (const pagecore::UserScript& script : current->scripts) {
    if (!script.matches.empty()) add(pagecore::PageScriptFor(script, m_context->TrustedOrigins(), report), script.atStart);
  }
}

void CKitPage::ReleaseUserContent() {
  for (WebKitUserScript* script : m_userScripts) webkit_user_script_unref(script);
  m_userScripts.clear();
}

void CKitPage::OnUserScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  CKitPage* self = static_cast<CKitPage*>(data);
  JSCValue* value = result ? webkit_javascript_result_get_js_value(result) : nullptr;
  if (self->CurrentState() != State::Open || !value || !jsc_value_is_string(value)) return;
  char* text = jsc_value_to_string(value);
  self->m_report.LogLine("userscript", webpage::LogLevel::Warning,
                         self->Describe() + ": user script " + (text ? text : ""));
  g_free(text);
}

}  // namespace webkitpage
