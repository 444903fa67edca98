#include "uicontrol/eventtext.h"

#include <cwchar>
#include <cwctype>

#include "uicontrol/interfaces/keyvalue.h"

namespace {

// The C library's classes, asked only for characters beyond ASCII (locale calls are the
// slow part of reading a number).
bool IsSpace(wchar_t c) {
  if (c < 0x80) return c == L' ' || (c >= L'\t' && c <= L'\r');
  return std::iswspace(static_cast<wint_t>(c)) != 0;
}
bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || ((c | 0x20) >= L'a' && (c | 0x20) <= L'f');
}

// Reads a hexadecimal number; false when no digit was found.
bool ReadHex(std::wstring_view text, bool* negative, uint64_t* value, bool* overflow) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) *negative = text[i++] == L'-';
  if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X') && i + 2 < text.size() &&
      IsHexDigit(text[i + 2])) {
    i += 2;
  }
  *value = 0;
  *overflow = false;
  size_t digits = 0;
  for (; i < text.size() && IsHexDigit(text[i]); ++i, ++digits) {
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

}  // namespace

uint32_t EventNumberOf(std::wstring_view text) {
  bool negative, overflow;
  uint64_t value;
  if (!ReadHex(text, &negative, &value, &overflow)) return 0;
  if (overflow) return 0xFFFFFFFFu;
  uint32_t result = static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

// Read as a base-16 long of 32 bits is: a value beyond its range saturates, and the
// field is unsigned, so a negative value wraps. Nothing holds it to 0..100: the page's
// number is passed on as it came.
uint32_t EventPercentOf(std::wstring_view text) {
  bool negative, overflow;
  uint64_t value;
  if (!ReadHex(text, &negative, &value, &overflow)) return 0;
  const uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
  const uint32_t magnitude = static_cast<uint32_t>(overflow || value > limit ? limit : value);
  return negative ? 0u - magnitude : magnitude;
}

bool EventFlagOf(std::wstring_view text) {
  static const wchar_t kFalse[] = L"FALSE";
  if (text.size() != 5) return true;
  for (size_t i = 0; i < 5; ++i) {
    if (static_cast<wchar_t>(std::towupper(static_cast<wint_t>(text[i]))) != kFalse[i]) return true;
  }
  return false;
}

bool FindEventValue(const wchar_t* text, const wchar_t* name, std::wstring_view* value) {
  if (!text || !name) return false;
  return keyvalue::FindValue(text, name, keyvalue::Reading::kEventText, value);
}

std::wstring ReadEventText(const wchar_t* text, const wchar_t* name) {
  std::wstring_view value;
  return FindEventValue(text, name, &value) ? std::wstring(value) : std::wstring();
}

uint32_t ReadEventNumber(const wchar_t* text, const wchar_t* name) {
  std::wstring_view value;
  return FindEventValue(text, name, &value) ? EventNumberOf(value) : 0;
}

uint32_t ReadEventPercent(const wchar_t* text, const wchar_t* name) {
  std::wstring_view value;
  return FindEventValue(text, name, &value) ? EventPercentOf(value) : 0;
}

bool ReadEventFlag(const wchar_t* text, const wchar_t* name) {
  std::wstring_view value;
  return FindEventValue(text, name, &value) ? EventFlagOf(value) : true;
}

PageEvent LookupPageEvent(const wchar_t* key) {
  struct Entry {
    std::wstring_view key;
    PageEvent event;
  };
  static constexpr Entry kEntries[] = {
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
  // The length and the first character settle all but a few keys before any full
  // comparison; no key is longer than 22 characters, so longer texts stop early.
  size_t length = 0;
  while (key[length] != L'\0' && length <= 22) ++length;
  for (const Entry& entry : kEntries) {
    if (entry.key.size() != length || entry.key[0] != key[0]) continue;
    size_t i = 1;
    while (i < length && entry.key[i] == key[i]) ++i;
    if (i == length) return entry.event;
  }
  return PageEvent::Unknown;
}
