#include "uicontrol/eventtext.h"

#include <cwchar>
#include <cwctype>

EventParams ParseEventText(const wchar_t* text) {
  EventParams params;
  if (!text) return params;
  const std::wstring s(text);
  const size_t n = s.size();
  size_t i = 0;
  for (;;) {
    if (i >= n) break;
    if (i + 1 < n && s[i + 1] == L'\n') break;
    size_t end = s.find(L'\n', i);
    const bool last = end == std::wstring::npos;
    if (last) end = n;
    const std::wstring line = s.substr(i, end - i);
    i = end + 1;
    size_t eq = line.find(L'=');
    if (eq != std::wstring::npos && eq > 0) params[line.substr(0, eq)] = line.substr(eq + 1);
    if (last) break;
  }
  return params;
}

std::wstring EventTextValue(const EventParams& params, const std::wstring& name) {
  auto it = params.find(name);
  return it == params.end() ? std::wstring() : it->second;
}

namespace {

// Reads a hexadecimal number; false when no digit was found.
bool ReadHex(std::wstring_view text, bool* negative, uint64_t* value, bool* overflow) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) *negative = text[i++] == L'-';
  if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X') && i + 2 < text.size() &&
      std::iswxdigit(static_cast<wint_t>(text[i + 2]))) {
    i += 2;
  }
  *value = 0;
  *overflow = false;
  size_t digits = 0;
  for (; i < text.size() && std::iswxdigit(static_cast<wint_t>(text[i])) && text[i] < 0x80; ++i, ++digits) {
    const wchar_t c = text[i];
    const unsigned d = c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10;
    *value = *value * 16 + d;
    if (*value > 0xFFFFFFFFull) {
      *overflow = true;
      *value = 0xFFFFFFFFull;
    }
  }
  return digits > 0;
}

uint32_t NumberOf(std::wstring_view text) {
  bool negative, overflow;
  uint64_t value;
  if (!ReadHex(text, &negative, &value, &overflow)) return 0;
  if (overflow) return 0xFFFFFFFFu;
  uint32_t result = static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

uint32_t PercentOf(std::wstring_view text) {
  bool negative, overflow;
  uint64_t value;
  if (!ReadHex(text, &negative, &value, &overflow)) return 0;
  if (negative) return 0;
  return value > 100 ? 100 : static_cast<uint32_t>(value);
}

bool FlagOf(std::wstring_view text) {
  static const wchar_t kFalse[] = L"FALSE";
  if (text.size() != 5) return true;
  for (size_t i = 0; i < 5; ++i) {
    if (static_cast<wchar_t>(std::towupper(static_cast<wint_t>(text[i]))) != kFalse[i]) return true;
  }
  return false;
}

}  // namespace

uint32_t EventNumberValue(const EventParams& params, const std::wstring& name) {
  return NumberOf(EventTextValue(params, name));
}

uint32_t EventPercentValue(const EventParams& params, const std::wstring& name) {
  return PercentOf(EventTextValue(params, name));
}

bool EventFlagValue(const EventParams& params, const std::wstring& name) { return FlagOf(EventTextValue(params, name)); }

bool FindEventValue(const wchar_t* text, const wchar_t* name, std::wstring_view* value) {
  if (!text) return false;
  const std::wstring_view s(text);
  const std::wstring_view wanted(name);
  const size_t n = s.size();
  bool found = false;
  size_t i = 0;
  for (;;) {
    if (i >= n) break;
    if (i + 1 < n && s[i + 1] == L'\n') break;
    size_t end = s.find(L'\n', i);
    const bool last = end == std::wstring_view::npos;
    if (last) end = n;
    const std::wstring_view line = s.substr(i, end - i);
    i = end + 1;
    const size_t eq = line.find(L'=');
    if (eq != std::wstring_view::npos && eq > 0 && line.substr(0, eq) == wanted) {
      *value = line.substr(eq + 1);
      found = true;
    }
    if (last) break;
  }
  return found;
}

std::wstring ReadEventText(const wchar_t* text, const wchar_t* name) {
  std::wstring_view value;
  return FindEventValue(text, name, &value) ? std::wstring(value) : std::wstring();
}

uint32_t ReadEventNumber(const wchar_t* text, const wchar_t* name) {
  std::wstring_view value;
  return FindEventValue(text, name, &value) ? NumberOf(value) : 0;
}

uint32_t ReadEventPercent(const wchar_t* text, const wchar_t* name) {
  std::wstring_view value;
  return FindEventValue(text, name, &value) ? PercentOf(value) : 0;
}

bool ReadEventFlag(const wchar_t* text, const wchar_t* name) {
  std::wstring_view value;
  return FindEventValue(text, name, &value) ? FlagOf(value) : true;
}

PageEvent LookupPageEvent(const wchar_t* key) {
  struct Entry {
    const wchar_t* key;
    PageEvent event;
  };
  static const Entry kEntries[] = {
      {L"BEFORENAVIGATE", PageEvent::BeforeNavigate},
      {L"NEWINDOW", PageEvent::NewWindow},
      {L"GOFORWARDSTATECHANGE", PageEvent::GoForwardState},
      {L"BACKFORWARDSTATECHANGE", PageEvent::BackForwardState},
      {L"PROGRESSCHANGE", PageEvent::ProgressChange},
      {L"TITLECHANGE", PageEvent::TitleChange},
      {L"ICONCHANGE", PageEvent::IconChange},
      {L"DOCUMENTCOMPLETE", PageEvent::DocumentComplete},
      {L"PROCESSCRASH", PageEvent::ProcessCrash},
      {L"NAVIGATEERROR", PageEvent::NavigateError},
      {L"CHLIDHANDLE", PageEvent::ChildHandle},
      {L"SHOWADDFAVWND", PageEvent::ShowAddFavorite},
      {L"SHOWEDITFAVWND", PageEvent::ShowEditFavorite},
      {L"CLOSEWNDNOTIFTY", PageEvent::CloseWindow},
      {L"BLOCKURLTOUCH", PageEvent::BlockURLTouch},
      {L"SHOWIEWND", PageEvent::ShowWindow},
      {L"NAVIGATECOMPLETE", PageEvent::NavigateComplete},
      {L"STATEXTCHANGED", PageEvent::StatusTextChanged},
      {L"POPBLOCK", PageEvent::PopupBlocked},
  };
  if (!key || !*key) return PageEvent::Unknown;
  // Most keys differ in their first two characters, so few full comparisons are made.
  for (const Entry& entry : kEntries) {
    if (entry.key[0] == key[0] && entry.key[1] == key[1] && std::wcscmp(entry.key, key) == 0) return entry.event;
  }
  return PageEvent::Unknown;
}
