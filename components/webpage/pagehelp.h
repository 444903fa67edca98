#pragma once
// Small helpers shared by the files of the Chromium page (pagecore*.cpp, page*.cpp):
// text conversion, reading Chromium's JSON, and the page's own conventions.
#include <cwchar>
#include <random>
#include <string>

#include "components/pagecore/tunables.h"
#include "components/pagecore/waitingorders.h"
#include "components/webpage/jsonread.h"
#include "components/webpage/pagecore.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"
#include "platform/window.h"

namespace webpage {
namespace pagehelp {

using pagecore::kDefaultFontSize;

inline std::string Utf8(const std::wstring& text) { return platform::WideToUtf8(text); }
inline std::wstring Wide(const std::string& text) { return platform::Utf8ToWide(text); }

inline const Json& Field(const Json& object, const char* name) { return JsonField(object, name); }
inline std::string Text(const Json& object, const char* name) { return JsonText(object, name); }

// A whole number that Chromium sent, from `min` to `max`; `fallback` when it is absent or
// out of range (the second with a log line naming `source`).
inline long long Number(const Json& object, const char* name, long long min, long long max, long long fallback,
                 const char* source) {
  long long value = fallback;
  std::string why;
  if (ReadNumberField(object, name, min, max, &value, &why) == NumberRead::Refused) {
    LogWarning(std::string("ignored a number in ") + source + ": " + why);
    return fallback;
  }
  return value;
}

inline std::string Shown(const std::string& origin) { return origin.empty() ? "(unknown origin)" : origin; }

using pagecore::WorthKeeping;

inline CPageCore::ViewOwner NewView() {
  return CPageCore::ViewOwner(platform::CreateWindowHandle(), [](HWND view) {
    if (view) platform::DestroyWindowHandle(view);
  });
}

// What a host's user is told about orders of a page that could not be made.
inline std::wstring SetupFailureReason(const std::string& status) {
  return status == "start-failed" ? L"Chromium did not start" : L"Chromium could not make the page";
}

}  // namespace pagehelp
}  // namespace webpage
