#include "components/webpage/pagescript.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/text.h"

namespace webpage {

const char kBindingName[] = "__uicontrolHost";

const std::string& PageScript() {
  static const std::string script = R"JS((() => {
  const host = globalThis.__uicontrolHost;
  if (typeof host !== 'function' || window.__uicontrolInstalled) return;
  Object.defineProperty(window, '__uicontrolInstalled', {value: true});
  // Runs now for a document that has already been parsed (a window adopted late).
  const whenParsed = (f) => {
    if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', f);
    else f();
  };
  const post = (message) => { try { host(JSON.stringify(message)); } catch (e) {} };
  const isTop = window.top === window;

  // A window.open that the popup blocker refused returns null.
  const open = window.open;
  window.open = function (...args) {
    const opened = open.apply(this, args);
    if (opened === null) {
      let url = args.length && args[0] != null ? String(args[0]) : '';
      try { url = new URL(url, location.href).href; } catch (e) {}
      post({type: 'popblock', url});
    }
    return opened;
  };

  // Muting follows the page's media as it appears and plays.
  let muted = false;
  const applyMute = () => { for (const m of document.querySelectorAll('audio,video')) m.muted = muted; };
  document.addEventListener('play', (e) => { if (muted && e.target && 'muted' in e.target) e.target.muted = true; }, true);
  whenParsed(applyMute);
  Object.defineProperty(window, '__uicontrolSetMuted', {value: (m) => { muted = !!m; applyMute(); }});

  if (!isTop) return;

  window.close = function () { post({type: 'close'}); };

  Object.defineProperty(window, 'uicontrol', {value: Object.freeze({
    showAddFavorite: (parentId) => post({type: 'addfav', parentId}),
    showEditFavorite: (favoriteId, parentId, title, url) =>
      post({type: 'editfav', id: favoriteId, parentId, title: String(title ?? ''), url: String(url ?? '')}),
  })});

  let lastTitle = null, lastIcon = null;
  const report = () => {
    const title = document.title;
    if (title !== lastTitle) { lastTitle = title; post({type: 'title', text: title}); }
    const link = document.querySelector('link[rel~="icon" i]');
    const icon = link && link.href ? link.href : '';
    if (icon !== lastIcon) { lastIcon = icon; post({type: 'icon', text: icon}); }
  };
  whenParsed(() => {
    report();
    new MutationObserver(report).observe(document.head || document.documentElement,
                                         {subtree: true, childList: true, characterData: true, attributes: true});
  });

  let lastStatus = '';
  const status = (text) => { if (text !== lastStatus) { lastStatus = text; post({type: 'status', text}); } };
  document.addEventListener('mouseover', (e) => {
    const a = e.target && e.target.closest ? e.target.closest('a[href]') : null;
    status(a ? a.href : '');
  }, true);
  document.addEventListener('mouseout', () => status(''), true);
})();
)JS";
  return script;
}

std::string MuteScript(bool muted) {
  return std::string("window.__uicontrolSetMuted && window.__uicontrolSetMuted(") + (muted ? "true" : "false") + ");";
}

namespace {

bool ReadId(const nlohmann::json& value, uint32_t* id) {
  if (!value.is_number()) return false;
  double number = value.get<double>();
  if (!(number >= 0 && number <= 4294967295.0) || std::floor(number) != number) return false;
  *id = static_cast<uint32_t>(number);
  return true;
}

bool ReadText(const nlohmann::json& object, const char* name, std::wstring* text) {
  auto it = object.find(name);
  if (it == object.end() || !it->is_string()) return false;
  *text = platform::Utf8ToWide(it->get<std::string>());
  return true;
}

}  // namespace

bool ParsePageMessage(const std::string& payload, PageMessage* message, std::string* error) {
  nlohmann::json json = nlohmann::json::parse(payload, nullptr, false);
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
    if (!ReadText(json, name == "popblock" ? "url" : "text", &result.text)) {
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
    if (!ReadText(json, "title", &result.text) || !ReadText(json, "url", &result.url)) {
      *error = "showEditFavorite needs a title and an address";
      return false;
    }
  } else {
    *error = "unknown page message \"" + name + "\"";
    return false;
  }
  *message = std::move(result);
  return true;
}

}  // namespace webpage
