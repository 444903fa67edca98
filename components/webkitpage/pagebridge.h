#pragma once
// The script API of trusted pages on WebKit (window.uicontrol, and window.close for the
// host's own tabs) and the scripts the engine runs in its own world.
//
// Only top-level documents of trusted origins get the API: WebKit injects the scripts
// only into the top frame of documents whose address matches a trusted origin. The
// page's call is handed, as a DOM event on the document, to a listener in an isolated
// script world of the engine's, and only that world holds the message handler; so
// neither a page of another origin nor a frame can reach the handler, and the engine
// checks the top-level document's origin again when a message comes.
#include <webkit2/webkit2.h>

#include <string>
#include <vector>

namespace webkitpage {

// The message handler's name and the engine's script world.
#define kBridgeHandler "uicontrol"
extern const char kEngineWorld[];

// Adds the scripts and the handler to a view's content manager.
void InstallBridge(WebKitUserContentManager* content, const std::vector<std::string>& trustedOrigins);

// An expression: {title, icon}, the document's title and the address of its declared
// icon (or "").
const char* DocumentScript();
// An expression: the doctype and the document's HTML.
const char* HtmlScript();

}  // namespace webkitpage
