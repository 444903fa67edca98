#include "components/pagecore/hintscript.h"

#include <nlohmann/json.hpp>

#include "platform/text.h"

namespace pagecore {
namespace {

// A JavaScript literal of a text (JSON's string form, ASCII only).
std::string Literal(const std::wstring& text) {
  return nlohmann::json(platform::WideToUtf8(text)).dump(-1, ' ', true);
}

// Shared by the scripts: the field test, and taking the labels away.
const char kHelpers[] = R"JS(
  var NOT_TEXT = ['button', 'checkbox', 'radio', 'submit', 'reset', 'image', 'file', 'color', 'range', 'hidden'];
  function isField(el) {
    if (!el || el.nodeType !== 1) return false;
    if (el.isContentEditable || el.tagName === 'TEXTAREA' || el.tagName === 'SELECT') return true;
    return el.tagName === 'INPUT' && NOT_TEXT.indexOf(String(el.type || 'text').toLowerCase()) < 0;
  }
  function takeAway(state) {
    if (state && state.host && state.host.parentNode) state.host.parentNode.removeChild(state.host);
  }
)JS";

const char kCollect[] = R"JS(
  takeAway(window.__uicontrolHints);
  window.__uicontrolHints = null;
  // The element with the keyboard, through same-origin frames and shadow roots. A frame
  // of another origin may hold a field this world cannot see: counted as one.
  var doc = document, active = document.activeElement;
  while (active) {
    if (active.shadowRoot && active.shadowRoot.activeElement) { active = active.shadowRoot.activeElement; continue; }
    if (active.tagName === 'IFRAME' || active.tagName === 'FRAME') {
      var inner = null;
      try { inner = active.contentDocument; } catch (e) {}
      if (!inner) return {editing: true, typed: false};
      doc = inner;
      active = inner.activeElement;
      continue;
    }
    break;
  }
  if (isField(active)) return {editing: true, typed: key ? !!doc.execCommand('insertText', false, key) : false};
  var WANTED = 'a[href],area[href],button,input:not([type=hidden]),select,textarea,summary,' +
               '[role=button],[role=link],[contenteditable=""],[contenteditable=true]';
  var found = [];
  function consider(el, dx, dy, clip) {
    if (el.disabled) return;
    var rects = el.getClientRects();
    for (var i = 0; i < rects.length; ++i) {
      var r = rects[i], left = r.left + dx, top = r.top + dy;
      if (r.width < 1 || r.height < 1) continue;
      if (left + r.width <= clip.left || top + r.height <= clip.top || left >= clip.right || top >= clip.bottom) continue;
      if (el.ownerDocument.defaultView.getComputedStyle(el).visibility !== 'visible') return;
      found.push({el: el, x: Math.max(left, clip.left), y: Math.max(top, clip.top)});
      return;
    }
  }
  function visit(root, dx, dy, clip) {
    var all = root.querySelectorAll('*');
    for (var i = 0; i < all.length && found.length < LIMIT; ++i) {
      var el = all[i];
      if (el.matches(WANTED)) consider(el, dx, dy, clip);
      if (el.shadowRoot) visit(el.shadowRoot, dx, dy, clip);
      if (el.tagName !== 'IFRAME' && el.tagName !== 'FRAME') continue;
      var inner = null;
      try { inner = el.contentDocument; } catch (e) {}
      if (!inner) continue;  // another origin: out of reach
      var box = el.getBoundingClientRect(), fx = box.left + dx + el.clientLeft, fy = box.top + dy + el.clientTop;
      var sub = {left: Math.max(clip.left, fx), top: Math.max(clip.top, fy),
                 right: Math.min(clip.right, fx + el.clientWidth), bottom: Math.min(clip.bottom, fy + el.clientHeight)};
      if (sub.right > sub.left && sub.bottom > sub.top) visit(inner, fx, fy, sub);
    }
  }
  visit(document, 0, 0, {left: 0, top: 0, right: window.innerWidth, bottom: window.innerHeight});
  window.__uicontrolHints = {found: found, labels: [], host: null};
  return {count: found.length};
)JS";

const char kDraw[] = R"JS(
  var state = window.__uicontrolHints;
  if (!state) return {gone: true};
  takeAway(state);
  // The labels live in a closed shadow root: the page's styles do not reach them and its
  // scripts cannot read them.
  var host = document.createElement('div');
  host.style.cssText = 'all: initial !important; position: fixed !important; left: 0 !important; ' +
      'top: 0 !important; width: 0 !important; height: 0 !important; z-index: 2147483647 !important; ' +
      'pointer-events: none !important;';
  var root = host.attachShadow({mode: 'closed'});
  // Styles set through the style object: a page's Content-Security-Policy may refuse a
  // style element, never these.
  var LOOK = 'all: initial; position: fixed; padding: 1px 3px; background: #ffd83d; color: #000; ' +
      'border: 1px solid #7a5d00; border-radius: 3px; font: bold 13px/15px monospace; ' +
      'text-transform: uppercase; white-space: nowrap;';
  state.labels = [];
  for (var i = 0; i < labels.length && i < state.found.length; ++i) {
    var span = document.createElement('span');
    span.style.cssText = LOOK + 'left: ' + state.found[i].x + 'px; top: ' + state.found[i].y + 'px;';
    span.textContent = labels[i];
    root.appendChild(span);
    state.labels.push({span: span, label: labels[i]});
  }
  (document.documentElement || document).appendChild(host);
  state.host = host;
  return {count: state.labels.length};
)JS";

const char kFilter[] = R"JS(
  var state = window.__uicontrolHints;
  if (!state || !state.host) return {gone: true};
  var count = 0;
  state.labels.forEach(function (hint) {
    var match = hint.label.indexOf(typed) === 0;
    hint.span.style.display = match ? '' : 'none';
    if (!match) return;
    ++count;
    hint.span.textContent = '';
    var done = document.createElement('span');
    done.style.color = '#a08000';
    done.textContent = typed;
    hint.span.appendChild(done);
    hint.span.appendChild(document.createTextNode(hint.label.slice(typed.length)));
  });
  return {count: count};
)JS";

const char kFollow[] = R"JS(
  var state = window.__uicontrolHints;
  window.__uicontrolHints = null;
  takeAway(state);
  var hint = state && state.found[index];
  if (!hint || !hint.el.isConnected) return {gone: true};
  var el = hint.el, href = el.tagName === 'A' || el.tagName === 'AREA' ? el.href : '';
  if (newTab && typeof href === 'string' && /^(https?|file|about|data):/i.test(href)) return {url: href};
  if (typeof el.focus === 'function') el.focus();
  if (!isField(el)) el.click();
  return {done: true};
)JS";

const char kLeave[] = R"JS(
  takeAway(window.__uicontrolHints);
  window.__uicontrolHints = null;
  return {done: true};
)JS";

// The script as a function of its arguments, called at once.
std::string Call(const char* params, const char* body, const std::string& args) {
  return std::string("(function (") + params + ") {" + kHelpers + body + "})(" + args + ")";
}

}  // namespace

std::string HintCollectScript(const std::wstring& key) {
  return Call("key, LIMIT", kCollect, Literal(key) + ", " + std::to_string(kHintLimit));
}

std::string HintDrawScript(const std::vector<std::wstring>& labels) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::wstring& label : labels) list.push_back(platform::WideToUtf8(label));
  return Call("labels", kDraw, list.dump(-1, ' ', true));
}

std::string HintFilterScript(const std::wstring& typed) { return Call("typed", kFilter, Literal(typed)); }

std::string HintFollowScript(size_t index, bool newTab) {
  return Call("index, newTab", kFollow, std::to_string(index) + (newTab ? ", true" : ", false"));
}

std::string HintLeaveScript() { return Call("", kLeave, ""); }

}  // namespace pagecore
