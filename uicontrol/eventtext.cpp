#include "uicontrol/eventtext.h"

#include <cwchar>
#include <cwctype>

#include "uicontrol/eventscan.h"

namespace {

// The C library's class, asked only for characters beyond ASCII (locale calls are the
// slow part of reading a number).
bool IsSpace(wchar_t c) {
  if (c < 0x80) return c == L' ' || (c >= L'\t' && c <= L'\r');
  return std::iswspace(static_cast<wint_t>(c)) != 0;
}

// The value of an ASCII hexadecimal digit, or -1.
constexpr signed char kNotHex = -1;
struct HexTable {
  signed char value[128];
  constexpr HexTable() : value() {
    for (int c = 0; c < 128; ++c) {
      value[c] = c >= '0' && c <= '9' ? static_cast<signed char>(c - '0')
                 : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? static_cast<signed char>((c | 0x20) - 'a' + 10)
                                                          : kNotHex;
    }
  }
};
constexpr HexTable kHex;

int HexValue(wchar_t c) { return c >= 0 && c < 128 ? kHex.value[c] : kNotHex; }

// Reads a hexadecimal number; false when no digit was found.
bool ReadHex(std::wstring_view text, bool* negative, uint64_t* value, bool* overflow) {
  const wchar_t* p = text.data();
  const wchar_t* const end = p + text.size();
  while (p != end && IsSpace(*p)) ++p;
  *negative = false;
  if (p != end && (*p == L'+' || *p == L'-')) *negative = *p++ == L'-';
  if (end - p > 2 && p[0] == L'0' && (p[1] | 0x20) == L'x' && HexValue(p[2]) >= 0) p += 2;
  const wchar_t* const digits = p;
  uint64_t number = 0;
  for (int d; p != end && (d = HexValue(*p)) >= 0; ++p) {
    // Past 32 bits the value only saturates; the 64-bit sum cannot wrap before the check.
    number = number * 16 + static_cast<unsigned>(d);
    if (number > 0xFFFFFFFFull) number = 0x100000000ull;
  }
  *overflow = number > 0xFFFFFFFFull;
  *value = *overflow ? 0xFFFFFFFFull : number;
  return p != digits;
}

// The common case, a few bare digits: their value, or false for anything else (left to
// ReadHex). Up to seven digits cannot leave 28 bits, so no limit applies.
bool ReadShortHex(std::wstring_view text, uint32_t* value) {
  if (text.empty() || text.size() > 7) return false;
  uint32_t number = 0;
  for (wchar_t c : text) {
    const int d = HexValue(c);
    if (d < 0) return false;
    number = number * 16 + static_cast<uint32_t>(d);
  }
  *value = number;
  return true;
}

}  // namespace

uint32_t EventNumberOf(std::wstring_view text) {
  uint32_t shortValue;
  if (ReadShortHex(text, &shortValue)) return shortValue;
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
  uint32_t shortValue;
  if (ReadShortHex(text, &shortValue)) return shortValue;
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
  if (!text || !name || *name == L'\0') return false;
  // Names are a few characters: their length is found on the way, and one that could
  // never be read back (holding "=") finds nothing.
  size_t length = 0;
  for (; name[length] != L'\0'; ++length) {
    if (name[length] == L'=') return false;
  }
  const std::wstring_view names[1] = {std::wstring_view(name, length)};
  std::wstring_view values[1];
  if (!eventscan::FindValues(text, names, values)) return false;
  *value = values[0];
  return true;
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
  if (!key) return PageEvent::Unknown;
  // The first character leaves at most four keys, and a comparison with a wrong one
  // stops within its first few characters.
  switch (key[0]) {
    case L'B':
      if (eventscan::Is(key, L"BEFORENAVIGATE")) return PageEvent::BeforeNavigate;
      if (eventscan::Is(key, L"BACKFORWARDSTATECHANGE")) return PageEvent::BackForwardState;
      if (eventscan::Is(key, L"BLOCKURLTOUCH")) return PageEvent::BlockURLTouch;
      break;
    case L'C':
      if (eventscan::Is(key, L"CHLIDHANDLE")) return PageEvent::ChildHandle;
      if (eventscan::Is(key, L"CLOSEWNDNOTIFTY")) return PageEvent::CloseWindow;
      break;
    case L'D':
      if (eventscan::Is(key, L"DOCUMENTCOMPLETE")) return PageEvent::DocumentComplete;
      break;
    case L'G':
      if (eventscan::Is(key, L"GOFORWARDSTATECHANGE")) return PageEvent::GoForwardState;
      break;
    case L'I':
      if (eventscan::Is(key, L"ICONCHANGE")) return PageEvent::IconChange;
      break;
    case L'N':
      if (eventscan::Is(key, L"NEWINDOW")) return PageEvent::NewWindow;
      if (eventscan::Is(key, L"NAVIGATEERROR")) return PageEvent::NavigateError;
      if (eventscan::Is(key, L"NAVIGATECOMPLETE")) return PageEvent::NavigateComplete;
      break;
    case L'P':
      if (eventscan::Is(key, L"PROGRESSCHANGE")) return PageEvent::ProgressChange;
      if (eventscan::Is(key, L"PROCESSCRASH")) return PageEvent::ProcessCrash;
      if (eventscan::Is(key, L"POPBLOCK")) return PageEvent::PopupBlocked;
      break;
    case L'S':
      if (eventscan::Is(key, L"SHOWIEWND")) return PageEvent::ShowWindow;
      if (eventscan::Is(key, L"SHOWADDFAVWND")) return PageEvent::ShowAddFavorite;
      if (eventscan::Is(key, L"SHOWEDITFAVWND")) return PageEvent::ShowEditFavorite;
      if (eventscan::Is(key, L"STATEXTCHANGED")) return PageEvent::StatusTextChanged;
      break;
    case L'T':
      if (eventscan::Is(key, L"TITLECHANGE")) return PageEvent::TitleChange;
      break;
    default:
      break;
  }
  return PageEvent::Unknown;
}
