#include "components/webpage/pagescript.h"

#include <random>

#include "components/webpage/jsonread.h"
#include "platform/text.h"

namespace webpage {

const char kBindingName[] = "__uicontrolHost";

namespace {

// The script. @TOKEN@ and @TRUSTED@ are replaced per page. Rules it keeps:
// - The binding is deleted from the global object first, in every frame, whether the
//   script installs itself or not; page scripts never see it.
// - The token appears only here, at the top of the outer function: a page can read the
//   text of the functions it is given (window.open, window.close, window.uicontrol.*),
//   and none of them holds it.
// - Messages are written by concatenation; JSON.stringify and whatever else it calls
//   later are captured before any page script runs; stringify only ever sees strings and
//   numbers, so no page-made toJSON is called.
// - Title, icon and status text go out at most every 250 ms each; the newest value
//   waiting always follows.
const char kScript[] = R"JS((() => {
  'use strict';
  const binding = globalThis.__uicontrolHost;
  try { delete globalThis.__uicontrolHost; } catch (e) {}
  if (typeof binding !== 'function' || Object.getOwnPropertyDescriptor(document, '__uicontrolInstalled')) return;
  Object.defineProperty(document, '__uicontrolInstalled', {value: true});
  // What the script puts on the window stays configurable: a window's first, empty
  // document hands its Window object on to the same-origin document that replaces it,
  // and that document's own copy of the script must be able to take its place.
  const own = (name, value) => Object.defineProperty(window, name, {value, configurable: true});
  const token = '@TOKEN@';
  const trusted = @TRUSTED@;
  const stringify = JSON.stringify;
  const clock = performance.now.bind(performance);
  const later = setTimeout.bind(window);
  const isTop = window.top === window;
  let isTrusted = false;
  if (isTop) {
    const origin = location.origin;
    for (let i = 0; i < trusted.length; ++i) if (trusted[i] === origin) isTrusted = true;
  }
  // Texts are cut to a length the host can use (a page's title of 300 MB would otherwise
  // become one message of that size) and made well-formed (a lone surrogate is no JSON),
  // with functions taken now: a page may replace String.prototype.slice later.
  const apply = Reflect.apply, toText = String, slice = String.prototype.slice;
  const wellFormed = String.prototype.toWellFormed;
  const text = (value, limit) => {
    try {
      let s = toText(value ?? '');
      if (typeof s !== 'string') return '""';
      if (s.length > limit) s = apply(slice, s, [0, limit]);
      if (wellFormed) s = apply(wellFormed, s, []);
      return typeof s === 'string' ? stringify(s) : '""';
    } catch (e) { return '""'; }
  };
  const kTitle = @TITLE_LIMIT@, kText = @TEXT_LIMIT@;
  const whole = (value) => typeof value === 'number' ? stringify(value) : 'null';
  const post = (body) => { try { binding('{"token":"' + token + '","message":{' + body + '}}'); } catch (e) {} };
  // Runs now for a document that has already been parsed (a window adopted late).
  const whenParsed = (f) => {
    if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', f);
    else f();
  };

  // A window.open that the popup blocker refused returns null.
  const open = window.open;
  window.open = function (...args) {
    const opened = open.apply(this, args);
    if (opened === null) {
      let url = args.length && args[0] != null ? String(args[0]) : '';
      try { url = new URL(url, location.href).href; } catch (e) {}
      post('"type":"popblock","url":' + text(url, kText));
    }
    return opened;
  };

  // Muting follows the page's media as it appears and plays.
  let muted = false;
  const applyMute = () => { for (const m of document.querySelectorAll('audio,video')) m.muted = muted; };
  document.addEventListener('play', (e) => { if (muted && e.target && 'muted' in e.target) e.target.muted = true; }, true);
  whenParsed(applyMute);
  own('__uicontrolSetMuted', (m) => { muted = !!m; applyMute(); });

  if (!isTop) return;

  let closeAsked = false;
  window.close = function () {
    if (closeAsked) return;
    closeAsked = true;
    post('"type":"close"');
  };

  if (isTrusted) {
    own('uicontrol', Object.freeze({
      showAddFavorite: (parentId) => post('"type":"addfav","parentId":' + whole(parentId)),
      showEditFavorite: (favoriteId, parentId, title, url) =>
        post('"type":"editfav","id":' + whole(favoriteId) + ',"parentId":' + whole(parentId) +
             ',"title":' + text(title, kTitle) + ',"url":' + text(url, kText)),
    }));
  }

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

std::string PageScript(const std::string& token, const std::vector<std::string>& trustedOrigins) {
  std::string script = kScript;
  // Origins are normalised (letters, digits, ":/.[]-_" only) and the token is hex, but
  // both are written as JSON all the same.
  std::string quotedToken = nlohmann::json(token).dump();
  ReplaceAll(&script, "'@TOKEN@'", quotedToken);
  ReplaceAll(&script, "@TRUSTED@", nlohmann::json(trustedOrigins).dump());
  ReplaceAll(&script, "@TITLE_LIMIT@", std::to_string(kPageTitleLimit));
  ReplaceAll(&script, "@TEXT_LIMIT@", std::to_string(kPageTextLimit));
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
