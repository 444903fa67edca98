// Event texts read two ways: the readers the tab record uses (straight from the text)
// must answer exactly what reading the fully parsed map answers, for every name.
//
// Input: the event text (see fuzzinput.h for how bytes become wide text).
#include <cwchar>
#include <set>
#include <string>

#include "fuzz/fuzzinput.h"
#include "tests/uicontrol/eventtext_oracle.h"

namespace {

// The names the record reads, plus a few that differ from them by case or by one character.
const wchar_t* const kNames[] = {L"STATE",    L"PERCENT", L"TITLE",  L"URL",   L"ICOURL",     L"HWND",
                                 L"FAVPID",   L"FAVID",   L"TITLECHANGE",      L"BLOCKURLSTAT",
                                 L"ISWNDSHOW", L"STATTEXT", L"url",  L"URL ",  L"U",          L"="};

void Compare(const wchar_t* text, const EventParams& params, const std::wstring& name) {
  const std::string where = "name \"" + fuzz::Show(name) + "\" in \"" + fuzz::Show(text) + "\"";
  std::wstring_view found;
  const bool present = FindEventValue(text, name.c_str(), &found);
  const auto it = params.find(name);
  FUZZ_CHECK(present == (it != params.end()), where);
  if (present) FUZZ_CHECK(found == it->second, where);
  FUZZ_CHECK(ReadEventText(text, name.c_str()) == EventTextValue(params, name), where);
  FUZZ_CHECK(ReadEventNumber(text, name.c_str()) == EventNumberValue(params, name), where);
  const uint32_t percent = ReadEventPercent(text, name.c_str());
  FUZZ_CHECK(percent == EventPercentValue(params, name), where);
  FUZZ_CHECK(ReadEventFlag(text, name.c_str()) == EventFlagValue(params, name), where);
}

}  // namespace

FUZZ_TARGET(data, size) {
  const std::wstring text = fuzz::Wide(std::string(reinterpret_cast<const char*>(data), size));
  const EventParams params = ParseEventText(text.c_str());

  std::set<std::wstring> names(std::begin(kNames), std::end(kNames));
  for (const auto& entry : params) {
    names.insert(entry.first);
    // A name that is a prefix of a present one must not match it.
    names.insert(entry.first.substr(0, entry.first.size() - 1));
  }
  // Names that the map cannot hold: empty, and ones with a line feed or '='.
  names.insert(L"");
  names.insert(L"A\nB");
  names.insert(L"A=B");
  for (const std::wstring& name : names) Compare(text.c_str(), params, name);

  // Null texts read as empty ones.
  FUZZ_CHECK(ParseEventText(nullptr).empty(), "null text");
  FUZZ_CHECK(ReadEventText(nullptr, L"URL").empty(), "null text");
  FUZZ_CHECK(ReadEventFlag(nullptr, L"STATE"), "null text");

  // The key lookup answers Unknown for anything but the exact key.
  const PageEvent event = LookupPageEvent(text.c_str());
  const size_t length = std::wcslen(text.c_str());
  if (event != PageEvent::Unknown) FUZZ_CHECK(length >= 8 && length <= 22, fuzz::Show(text));
  return 0;
}
