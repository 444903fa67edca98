#include "components/webpage/pagescript.h"

#include <random>

#include "components/webpage/jsonread.h"
#include "platform/text.h"

namespace webpage {

const char kBindingName[] = "__uicontrolHost";
const char kEngineWorld[] = "uicontrol-engine";

namespace {

// The engine's script, run in the engine's own script world (kEngineWorld) of every
// frame of every document: the page's scripts share its document but none of its
// globals, so nothing here (the binding, the token, the mute helper) is reachable from
// the page. @TOKEN@ and @TRUSTED@ are replaced per page. Rules it keeps:
// - The binding is deleted from the world's global object first, whether the script
//   installs itself or not.
// - Requests of the page's world (a refused window.open, window.close, the API of the
//   host's own pages) arrive as "uicontrol-request" events of the document carrying a
//   JSON text; they are read here field by field and written anew, so the page decides
//   nothing about a message but what it asks for. Whether it may ask is the engine's
//   decision, by the document's origin.
// - Title, icon and status text go out at most every 250 ms each; the newest value
//   waiting always follows.
// The script's value is whether it installed itself now (a window adopted late gets it
// by evaluation, and then also the page-world part, once).
const char kScript[] = R"JS((() => {
  'use strict';
  const binding = globalThis.__uicontrolHost;
  try { delete globalThis.__uicontrolHost; } catch (e) {}
  if (typeof binding !== 'function' || Object.getOwnPropertyDescriptor(document, '__uicontrolInstalled')) return false;
  Object.defineProperty(document, '__uicontrolInstalled', {value: true});
  const token = '@TOKEN@';
  const stringify = JSON.stringify;
  const clock = performance.now.bind(performance);
  const later = setTimeout.bind(window);
  const isTop = window.top === window;
  // Texts are cut to a length the host can use (a page's title of 300 MB would otherwise
  // become one message of that size) and made well-formed (a lone surrogate is no JSON).
  const text = (value, limit) => {
    try {
      let s = typeof value === 'string' ? value : '';
      if (s.length > limit) s = s.slice(0, limit);
      if (s.toWellFormed) s = s.toWellFormed();
      return stringify(s);
    } catch (e) { return '""'; }
  };
  const kTitle = @TITLE_LIMIT@, kText = @TEXT_LIMIT@;
  const whole = (value) => typeof value === 'number' && isFinite(value) ? stringify(value) : 'null';
  const post = (body) => { try { binding('{"token":"' + token + '","message":{' + body + '}}'); } catch (e) {} };
  // Runs now for a document that has already been parsed (a window adopted late).
  const whenParsed = (f) => {
    if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', f);
    else f();
  };

  let closeAsked = false;
  document.addEventListener('uicontrol-request', (event) => {
    let request = null;
    try { request = typeof event.detail === 'string' ? JSON.parse(event.detail) : null; } catch (e) {}
    if (!request || typeof request !== 'object') return;
    if (request.type === 'popblock') {
      post('"type":"popblock","url":' + text(request.url, kText));
    } else if (request.type === 'close') {
      if (!isTop || closeAsked) return;
      closeAsked = true;
      post('"type":"close"');
    } else if (request.type === 'addfav') {
      post('"type":"addfav","parentId":' + whole(request.parentId));
    } else if (request.type === 'editfav') {
      post('"type":"editfav","id":' + whole(request.id) + ',"parentId":' + whole(request.parentId) +
           ',"title":' + text(request.title, kTitle) + ',"url":' + text(request.url, kText));
    }
  }, true);

  // Muting follows the page's media as it appears and plays.
  let muted = false;
  const applyMute = () => { for (const m of document.querySelectorAll('audio,video')) m.muted = muted; };
  document.addEventListener('play', (e) => { if (muted && e.target && 'muted' in e.target) e.target.muted = true; }, true);
  whenParsed(applyMute);
  Object.defineProperty(window, '__uicontrolSetMuted', {value: (m) => { muted = !!m; applyMute(); }});

  if (!isTop) return true;

  const slot = () => ({last: -1e9, timer: 0, body: ''});
  const slots = {title: slot(), icon: slot(), status: slot()};
  const latest = (kind, body) => {
    const s = slots[kind];
    s.body = body;
    if (s.timer) return;
    const wait = s.last + 250 - clock();
    if (wait <= 0) {
      s.last = clock();
      post(body);
      return;
    }
    s.timer = later(() => { s.timer = 0; s.last = clock(); post(s.body); }, wait);
  };

  let lastTitle = null, lastIcon = null;
  const report = () => {
    const title = document.title;
    if (title !== lastTitle) { lastTitle = title; latest('title', '"type":"title","text":' + text(title, kTitle)); }
    const link = document.querySelector('link[rel~="icon" i]');
    const icon = link && link.href ? link.href : '';
    if (icon !== lastIcon) { lastIcon = icon; latest('icon', '"type":"icon","text":' + text(icon, kText)); }
  };
  whenParsed(() => {
    report();
    new MutationObserver(report).observe(document.head || document.documentElement,
                                         {subtree: true, childList: true, characterData: true, attributes: true});
  });

  let lastStatus = '';
  const status = (value) => {
    if (value === lastStatus) return;
    lastStatus = value;
    latest('status', '"type":"status","text":' + text(value, kText));
  };
  document.addEventListener('mouseover', (e) => {
    const a = e.target && e.target.closest ? e.target.closest('a[href]') : null;
    status(a ? a.href : '');
  }, true);
  document.addEventListener('mouseout', () => status(''), true);
  return true;
})();
)JS";

// The page's own world gets only what must stand in its place: window.open (to tell of a
// refused window), window.close of the top-level document (the host decides), and
// window.uicontrol in the host's own top-level documents. They hand the call on as a
// "uicontrol-request" event; no global of the engine's, and nothing secret, is here. What
// they use is taken before any page script runs.
const char kPageWorldScript[] = R"JS((() => {
  'use strict';
  const apply = Reflect.apply, dispatch = EventTarget.prototype.dispatchEvent, stringify = JSON.stringify;
  const Request = CustomEvent, doc = document, toText = String;
  const send = (request) => {
    try { apply(dispatch, doc, [new Request('uicontrol-request', {detail: apply(stringify, JSON, [request])})]); } catch (e) {}
  };
  const open = window.open;
  window.open = function (...args) {
    const opened = apply(open, this, args);
    if (opened === null) {
      let url = args.length && args[0] != null ? toText(args[0]) : '';
      try { url = new URL(url, location.href).href; } catch (e) {}
      send({type: 'popblock', url});
    }
    return opened;
  };
  if (window.top !== window) return;
  window.close = function () { send({type: 'close'}); };
  const trusted = @TRUSTED@;
  if (trusted.indexOf(location.origin) < 0) return;
  // Configurable: a window's first, empty document hands its Window object on to the
  // same-origin document that replaces it, whose own copy must be able to take its place.
  const id = (value) => typeof value === 'number' ? value : null;
  Object.defineProperty(window, 'uicontrol', {configurable: true, value: Object.freeze({
    showAddFavorite: (parentId) => send({type: 'addfav', parentId: id(parentId)}),
    showEditFavorite: (favoriteId, parentId, title, url) =>
      send({type: 'editfav', id: id(favoriteId), parentId: id(parentId), title: toText(title), url: toText(url)}),
  })});
})();
)JS";

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
  for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
    text->replace(at, from.size(), to);
}

bool ReadId(const nlohmann::json& value, uint32_t* id) {
  long long number = 0;
  if (!ReadWholeNumber(value, 0, 4294967295LL, &number)) return false;
  *id = static_cast<uint32_t>(number);
  return true;
}

bool ReadText(const nlohmann::json& object, const char* name, size_t limit, std::wstring* text) {
  auto it = object.find(name);
  if (it == object.end() || !it->is_string()) return false;
  *text = platform::Utf8ToWide(it->get<std::string>());
  if (text->size() > limit) text->resize(limit);
  return true;
}

bool SameToken(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

}  // namespace

std::string NewPageToken() {
  std::random_device device;
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 4; ++i) {
    uint32_t word = device();
    for (int k = 0; k < 8; ++k) token.push_back(kHex[(word >> (4 * k)) & 0xf]);
  }
  return token;
}

std::string PageScript(const std::string& token) {
  std::string script = kScript;
  // Origins are normalised (letters, digits, ":/.[]-_" only) and the token is hex, but
  // both are written as JSON all the same.
  std::string quotedToken = nlohmann::json(token).dump();
  ReplaceAll(&script, "'@TOKEN@'", quotedToken);
  ReplaceAll(&script, "@TITLE_LIMIT@", std::to_string(kPageTitleLimit));
  ReplaceAll(&script, "@TEXT_LIMIT@", std::to_string(kPageTextLimit));
  return script;
}

std::string PageWorldScript(const std::vector<std::string>& trustedOrigins) {
  std::string script = kPageWorldScript;
  ReplaceAll(&script, "@TRUSTED@", nlohmann::json(trustedOrigins).dump());
  return script;
}

std::string MuteScript(bool muted) {
  return std::string("window.__uicontrolSetMuted && window.__uicontrolSetMuted(") + (muted ? "true" : "false") + ");";
}

bool ParsePageMessage(const std::string& message, PageMessage* result, std::string* error) {
  nlohmann::json json = nlohmann::json::parse(message, nullptr, false);
  return ParsePageMessage(json, result, error);
}

bool ParsePageMessage(const nlohmann::json& json, PageMessage* message, std::string* error) {
  if (json.is_discarded() || !json.is_object()) {
    *error = "page message is not a JSON object";
    return false;
  }
  auto type = json.find("type");
  if (type == json.end() || !type->is_string()) {
    *error = "page message without type";
    return false;
  }
  const std::string name = type->get<std::string>();
  PageMessage result;
  if (name == "title" || name == "icon" || name == "status" || name == "popblock") {
    result.type = name == "title" ? PageMessage::Type::Title
                : name == "icon" ? PageMessage::Type::Icon
                : name == "status" ? PageMessage::Type::Status
                                   : PageMessage::Type::PopupBlocked;
    if (!ReadText(json, name == "popblock" ? "url" : "text", name == "title" ? kPageTitleLimit : kPageTextLimit,
                  &result.text)) {
      *error = "page message \"" + name + "\" without its text";
      return false;
    }
  } else if (name == "close") {
    result.type = PageMessage::Type::Close;
  } else if (name == "addfav") {
    result.type = PageMessage::Type::AddFavorite;
    if (!json.contains("parentId") || !ReadId(json["parentId"], &result.parentId)) {
      *error = "showAddFavorite needs a parent id from 0 to 4294967295";
      return false;
    }
  } else if (name == "editfav") {
    result.type = PageMessage::Type::EditFavorite;
    if (!json.contains("id") || !ReadId(json["id"], &result.id) || !json.contains("parentId") ||
        !ReadId(json["parentId"], &result.parentId)) {
      *error = "showEditFavorite needs ids from 0 to 4294967295";
      return false;
    }
    if (!ReadText(json, "title", kPageTitleLimit, &result.text) || !ReadText(json, "url", kPageTextLimit, &result.url)) {
      *error = "showEditFavorite needs a title and an address";
      return false;
    }
  } else {
    std::string shown = name.size() > 40 ? name.substr(0, 40) + "..." : name;
    *error = "unknown page message \"" + shown + "\"";
    return false;
  }
  *message = std::move(result);
  return true;
}

bool OpenPageMessage(const std::string& payload, const std::string& token, PageMessage* result, std::string* error,
                     bool* forged) {
  *forged = true;
  nlohmann::json json = nlohmann::json::parse(payload, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    *error = "a message that is not a JSON object";
    return false;
  }
  auto given = json.find("token");
  if (token.empty() || given == json.end() || !given->is_string() || !SameToken(given->get<std::string>(), token)) {
    *error = "a message without the page's token";
    return false;
  }
  *forged = false;
  auto message = json.find("message");
  if (message == json.end()) {
    *error = "page message is not a JSON object";
    return false;
  }
  return ParsePageMessage(*message, result, error);
}

}  // namespace webpage
