#include "components/webpage/pagetext.h"

#include <climits>

#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace webpage {
namespace {

// Walks the rendered document as a reader lays it out: a block element starts a line,
// table cells share their row's line, links are marked with their number. It runs in a
// world of its own, so the page's scripts cannot replace what it calls.
const char kPageTextScript[] = R"JS((() => {
  const MAX_CHARS = @CHARS@, MAX_LINKS = @LINKS@;
  const lines = [], links = [];
  const skipped = new Set(['SCRIPT', 'STYLE', 'NOSCRIPT', 'TEMPLATE', 'HEAD', 'TITLE', 'SVG', 'IFRAME', 'OBJECT']);
  let line = '', kind = 'P', preDepth = 0, listDepth = 0, total = 0, cut = false;
  const flush = () => {
    let text = line.replace(/[\u0000-\u001f\u007f]/g, ' ');
    text = preDepth ? text.replace(/\s+$/, '') : text.replace(/\s+/g, ' ').trim();
    if (text && total + text.length > MAX_CHARS) {
      cut = true;
      text = text.slice(0, Math.max(0, MAX_CHARS - total));
    }
    if (text) {
      lines.push(kind + ':' + text);
      total += text.length;
    }
    line = '';
    kind = preDepth ? 'Q' : 'P';
  };
  const addText = (data) => {
    if (!preDepth) { line += data; return; }
    const parts = data.split('\n');
    parts.forEach((part, i) => { if (i > 0) flush(); line += part; });
  };
  const walk = (el) => {
    if (cut) return;
    const tag = el.tagName.toUpperCase();
    if (skipped.has(tag)) return;
    if (tag === 'BR') { flush(); return; }
    const style = getComputedStyle(el);
    const display = style.display;
    if (display === 'none') return;
    const cell = display === 'table-cell';
    const block = !cell && !display.startsWith('inline') && display !== 'contents';
    if (block) flush();
    if (cell && line.trim()) line += ' | ';
    const pre = block && (tag === 'PRE' || style.whiteSpace.startsWith('pre'));
    if (pre) { ++preDepth; kind = 'Q'; }
    if (/^H[1-6]$/.test(tag)) {
      kind = tag[1];
    } else if (tag === 'LI') {
      kind = 'L' + Math.max(1, Math.min(listDepth, 9));
      const list = el.parentElement;
      if (list && list.tagName === 'OL') {
        let n = list.start || 1;
        for (let s = el.previousElementSibling; s; s = s.previousElementSibling) if (s.tagName === 'LI') ++n;
        line += n + '. ';
      }
    } else if (tag === 'TR') {
      kind = 'R';
    }
    const list = tag === 'UL' || tag === 'OL';
    if (list) ++listDepth;
    if (tag === 'IMG') {
      const alt = (el.getAttribute('alt') || '').trim();
      if (alt) line += ' ' + alt + ' ';
    }
    for (let c = el.firstChild; c && !cut; c = c.nextSibling) {
      if (c.nodeType === 3) addText(c.data);
      else if (c.nodeType === 1) walk(c);
    }
    if (tag === 'A' && el.href && !/^javascript:/i.test(el.href) && links.length < MAX_LINKS) {
      links.push(String(el.href));
      line += '[' + links.length + ']';
    }
    if (list) --listDepth;
    if (block) flush();
    if (pre) { --preDepth; kind = preDepth ? 'Q' : 'P'; }
  };
  const root = document.body || document.documentElement;
  if (root) walk(root);
  flush();
  return {title: String(document.title), url: String(location.href), lines, links, cut};
})())JS";

const char kPageSourceScript[] = R"JS((() => {
  const MAX_CHARS = @CHARS@;
  let text = (document.doctype ? new XMLSerializer().serializeToString(document.doctype) + '\n' : '') +
             (document.documentElement ? document.documentElement.outerHTML : '');
  const cut = text.length > MAX_CHARS;
  if (cut) text = text.slice(0, MAX_CHARS);
  return {title: String(document.title), url: String(location.href), lines: text.split('\n'), links: [], cut};
})())JS";

const char kFindScript[] = R"JS((() => {
  const words = @WORDS@;
  const found = window.find(words, false, false, true);
  const hay = (document.body ? document.body.innerText : '').toLowerCase(), needle = words.toLowerCase();
  let count = 0;
  for (let at = hay.indexOf(needle); needle && at !== -1; at = hay.indexOf(needle, at + needle.length)) ++count;
  return {found, count};
})())JS";

void ReplaceAll(std::string* text, const std::string& what, const std::string& with) {
  for (size_t at = text->find(what); at != std::string::npos; at = text->find(what, at + with.size()))
    text->replace(at, what.size(), with);
}

bool ReadLines(const Json& list, std::vector<std::wstring>* lines) {
  if (!list.is_array()) return false;
  for (const Json& line : list) {
    if (!line.is_string()) return false;
    lines->push_back(platform::Utf8ToWide(line.get<std::string>()));
  }
  return true;
}

}  // namespace

std::string PageTextScript() {
  std::string script = kPageTextScript;
  ReplaceAll(&script, "@CHARS@", std::to_string(kPageTextChars));
  ReplaceAll(&script, "@LINKS@", std::to_string(kPageTextLinks));
  return script;
}

std::string PageSourceScript() {
  std::string script = kPageSourceScript;
  ReplaceAll(&script, "@CHARS@", std::to_string(kPageTextChars));
  return script;
}

std::wstring JoinEscapedLines(const std::vector<std::wstring>& lines) {
  std::wstring out;
  for (const std::wstring& line : lines) {
    for (wchar_t c : line) {
      if (c == L'\\') out += L"\\\\";
      else if (c < 0x20 || c == 0x7f) out += L' ';
      else out += c;
    }
    out += L"\\n";
  }
  return out;
}

bool PageTextValues(const Json& result, bool source, KeyValues* values, std::string* error) {
  std::vector<std::wstring> lines, links;
  if (!result.is_object() || !ReadLines(JsonField(result, "lines"), &lines) ||
      !ReadLines(JsonField(result, "links"), &links)) {
    *error = "the page's text came back in an unknown form";
    return false;
  }
  const Json& cut = JsonField(result, "cut");
  if (source) {
    (*values)[L"SOURCE"] = JoinEscapedLines(lines);
  } else {
    (*values)[L"TEXT"] = JoinEscapedLines(lines);
    (*values)[L"LINKS"] = JoinEscapedLines(links);
  }
  (*values)[L"TITLE"] = SafeValue(platform::Utf8ToWide(JsonText(result, "title")));
  (*values)[L"URL"] = SafeValue(platform::Utf8ToWide(JsonText(result, "url")));
  (*values)[L"CUT"] = cut.is_boolean() && cut.get<bool>() ? L"TRUE" : L"FALSE";
  return true;
}

std::string FindScript(const std::wstring& text) {
  std::string script = kFindScript;
  ReplaceAll(&script, "@WORDS@", Json(platform::WideToUtf8(text)).dump());
  return script;
}

void ReadFindReply(const Json& value, bool* found, long long* count) {
  const Json& flag = JsonField(value, "found");
  *found = flag.is_boolean() && flag.get<bool>();
  *count = 0;
  if (!ReadWholeNumber(JsonField(value, "count"), 0, INT_MAX, count)) *count = 0;
  if (*found && *count == 0) *count = 1;  // a match across elements that the text count missed
}

}  // namespace webpage
