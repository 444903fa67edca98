#include "components/webkitpage/pagebridge.h"

#include <string>

namespace webkitpage {

const char kEngineWorld[] = "uicontrol-reader";

namespace {

// Main world of a trusted top-level document. The page's own scripts come later and may
// replace globals, so what the API needs is taken now.
const char kPageApi[] = R"JS((function (trusted) {
  if (trusted.indexOf(location.origin) < 0) return;
  var dispatch = EventTarget.prototype.dispatchEvent, apply = Reflect.apply, stringify = JSON.stringify;
  var CustomEventType = CustomEvent, doc = document;
  function send(message) {
    apply(dispatch, doc, [new CustomEventType('uicontrol-request', {detail: apply(stringify, JSON, [message])})]);
  }
  function id(value) { return typeof value === 'number' ? value : NaN; }
  var api = {
    showAddFavorite: function (parentId) { send({type: 'addfav', parentId: id(parentId)}); },
    showEditFavorite: function (favoriteId, parentId, title, url) {
      send({type: 'editfav', id: id(favoriteId), parentId: id(parentId), title: String(title), url: String(url)});
    }
  };
  Object.freeze(api);
  Object.defineProperty(window, 'uicontrol', {value: api, writable: false, configurable: false});
  // The host's own tabs may close themselves (WebKit lets only windows that a script
  // opened do so).
  window.close = function () { send({type: 'close'}); };
}))JS";

// The engine's world: passes the page's requests to the handler, which only this world has.
const char kRelay[] = R"JS((function (trusted) {
  if (trusted.indexOf(location.origin) < 0) return;
  document.addEventListener('uicontrol-request', function (event) {
    if (typeof event.detail === 'string') window.webkit.messageHandlers.uicontrol.postMessage(event.detail);
  }, true);
}))JS";

// The origins as a JavaScript array literal (origins hold no quotes or backslashes).
std::string OriginList(const std::vector<std::string>& origins) {
  std::string list = "[";
  for (const std::string& origin : origins) {
    if (list.size() > 1) list += ",";
    list += "'" + origin + "'";
  }
  return list + "]";
}

const char kDocument[] = R"JS((function () {
  var icon = '', links = document.querySelectorAll('link[rel]');
  for (var i = 0; i < links.length && !icon; ++i) {
    var rel = links[i].rel.toLowerCase().split(/\s+/);
    if (rel.indexOf('icon') >= 0 && links[i].href) icon = links[i].href;
  }
  return {title: document.title, icon: icon};
})())JS";

const char kHtml[] =
    "(document.doctype ? new XMLSerializer().serializeToString(document.doctype) + '\\n' : '') + "
    "(document.documentElement ? document.documentElement.outerHTML : '')";

}  // namespace

void InstallBridge(WebKitUserContentManager* content, const std::vector<std::string>& trustedOrigins) {
  webkit_user_content_manager_register_script_message_handler_in_world(content, kBridgeHandler, kEngineWorld);
  if (trustedOrigins.empty()) return;
  // WebKit's patterns name hosts without ports: the scripts check the whole origin
  // themselves, and the engine checks it again for every message.
  std::vector<std::string> patterns;
  for (const std::string& origin : trustedOrigins) {
    const size_t scheme = origin.find("://");
    const size_t port = origin.find(':', scheme + 3);
    patterns.push_back(origin.substr(0, port) + "/*");
  }
  std::vector<const char*> allow;
  for (const std::string& pattern : patterns) allow.push_back(pattern.c_str());
  allow.push_back(nullptr);
  const std::string list = OriginList(trustedOrigins);
  const std::string apiSource = std::string(kPageApi) + "(" + list + ");";
  const std::string relaySource = std::string(kRelay) + "(" + list + ");";
  WebKitUserScript* api = webkit_user_script_new(apiSource.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                 WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, allow.data(), nullptr);
  WebKitUserScript* relay = webkit_user_script_new_for_world(relaySource.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kEngineWorld,
                                                             allow.data(), nullptr);
  webkit_user_content_manager_add_script(content, relay);
  webkit_user_content_manager_add_script(content, api);
  webkit_user_script_unref(relay);
  webkit_user_script_unref(api);
}

const char* DocumentScript() { return kDocument; }
const char* HtmlScript() { return kHtml; }

}  // namespace webkitpage
