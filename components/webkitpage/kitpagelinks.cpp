// Links the user opens elsewhere than in the page: a middle click or Ctrl+click on a link
// and the context menu's entry open it in a new tab behind the current one; a window made
// by the engine waits for the host like one the page opened ("NEWINDOW", BACKGROUND=TRUE).
#include <memory>

#include "components/webkitpage/kitpage.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace webkitpage {
namespace {

std::wstring Wide(const char* text) { return platform::Utf8ToWide(text ? text : ""); }

void OnOpenLink(GSimpleAction*, GVariant* parameter, gpointer data) {
  std::shared_ptr<CKitPage> page = static_cast<std::weak_ptr<CKitPage>*>(data)->lock();
  if (!page || page->CurrentState() != CKitPage::State::Open || !parameter) return;
  page->OpenLinkInTab(Wide(g_variant_get_string(parameter, nullptr)));
}

}  // namespace

void CKitPage::ConnectLinks() {
  g_signal_connect(m_web, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(m_web, "context-menu", G_CALLBACK(OnContextMenu), this);
  if (m_openLink) return;
  m_openLink = g_simple_action_new("open-link-in-tab", G_VARIANT_TYPE_STRING);
  g_signal_connect_data(m_openLink, "activate", G_CALLBACK(OnOpenLink), new std::weak_ptr<CKitPage>(shared_from_this()),
                        +[](gpointer data, GClosure*) { delete static_cast<std::weak_ptr<CKitPage>*>(data); },
                        GConnectFlags(0));
}

void CKitPage::OpenLinkInTab(const std::wstring& url) { OpenWindow(url, true); }

gboolean CKitPage::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                  gpointer data) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
    return FALSE;
  CKitPage* self = static_cast<CKitPage*>(data);
  if (self->CurrentState() != State::Open) return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  if (!action || webkit_navigation_action_get_navigation_type(action) != WEBKIT_NAVIGATION_TYPE_LINK_CLICKED ||
      !webkit_navigation_action_is_user_gesture(action))
    return FALSE;
  const bool middle = webkit_navigation_action_get_mouse_button(action) == 2;
  const bool control = (webkit_navigation_action_get_modifiers(action) & GDK_CONTROL_MASK) != 0;
  if (!middle && !control) return FALSE;
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const std::wstring url = Wide(request ? webkit_uri_request_get_uri(request) : nullptr);
  if (url.empty()) return FALSE;
  webkit_policy_decision_ignore(decision);
  self->OpenWindow(url, true);
  return TRUE;
}

gboolean CKitPage::OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult* hit,
                                 gpointer data) {
  CKitPage* self = static_cast<CKitPage*>(data);
  if (self->CurrentState() != State::Open || !self->m_openLink || !webkit_hit_test_result_context_is_link(hit))
    return FALSE;
  const char* uri = webkit_hit_test_result_get_link_uri(hit);
  if (!uri || !*uri) return FALSE;
  // WebKit's own entry asks for a window the host never sees as the user's: it becomes
  // the browser's tab instead.
  guint position = 0;
  for (GList* it = webkit_context_menu_get_items(menu); it; it = it->next, ++position) {
    auto* item = static_cast<WebKitContextMenuItem*>(it->data);
    if (webkit_context_menu_item_get_stock_action(item) != WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW) continue;
    webkit_context_menu_remove(menu, item);
    webkit_context_menu_insert(menu,
                               webkit_context_menu_item_new_from_gaction(G_ACTION(self->m_openLink),
                                                                         "Open Link in New Tab", g_variant_new_string(uri)),
                               static_cast<gint>(position));
    break;
  }
  return FALSE;
}

void CKitPage::OpenWindow(const std::wstring& url, bool background) {
  WebKitWebView* window = NewWebView(nullptr);
  webkit_web_view_load_uri(window, platform::WideToUtf8(url).c_str());
  m_popups.Add(window, url);
  pagecore::ReportNewWindow(*this, url, background);
}

}  // namespace webkitpage
