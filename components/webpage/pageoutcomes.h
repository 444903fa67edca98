#pragma once
// The events both page engines send for the same outcome, written once so that their
// texts cannot drift apart.
#include <chrono>
#include <string>
#include <vector>

#include "components/webpage/keyvaluetext.h"
#include "platform/text.h"

namespace webpage {

struct PageEvent {
  const wchar_t* key;
  KeyValues values;
};

// A save or print that wrote `path`.
inline std::vector<PageEvent> SavedEvents(const std::string& path, const std::string& kind) {
  const std::wstring file = platform::Utf8ToWide(path);
  return {{L"SAVECOMPLETE", {{L"FILE", file}, {L"KIND", platform::Utf8ToWide(kind)}}},
          {L"STATEXTCHANGED", {{L"STATTEXT", L"Saved " + file}}}};
}

// A save or print that failed.
inline std::vector<PageEvent> SaveFailedEvents(const std::string& kind, const std::string& error) {
  const std::wstring why = platform::Utf8ToWide(error);
  return {{L"SAVECOMPLETE", {{L"ERROR", why}, {L"KIND", platform::Utf8ToWide(kind)}}},
          {L"STATEXTCHANGED", {{L"STATTEXT", L"Could not save the page: " + why}}}};
}

// An order refused because the page crashed `limit` times within `window`.
inline std::string CrashLimitText(int limit, std::chrono::milliseconds window) {
  return "the page crashed " + std::to_string(limit) + " times within " + std::to_string(window.count() / 1000) +
         " s";
}
inline std::vector<PageEvent> CrashLimitEvents(const std::wstring& order, int limit, std::chrono::milliseconds window) {
  const std::wstring reason =
      platform::Utf8ToWide(CrashLimitText(limit, window)) + L"; REFRESH or NAVIGATE tries again";
  return {{L"ORDERUNSUPPORTED", {{L"CMD", order}, {L"REASON", reason}}},
          {L"NAVIGATEERROR", {{L"ERROR", reason}, {L"STATUS", L"0"}, {L"URL", L""}}}};
}

}  // namespace webpage
