#pragma once
// Reading the key=value texts that pages send with their events.
#include <cstdint>
#include <string>
#include <string_view>

#include "uicontrol/export.h"

// The page event keys the tab record reacts to.
enum class PageEvent {
  Unknown,
  BeforeNavigate,
  NewWindow,
  GoForwardState,
  BackForwardState,
  ProgressChange,
  TitleChange,
  IconChange,
  DocumentComplete,
  ProcessCrash,
  NavigateError,
  ChildHandle,
  ShowAddFavorite,
  ShowEditFavorite,
  CloseWindow,
  BlockURLTouch,
  ShowWindow,
  NavigateComplete,
  StatusTextChanged,
  PopupBlocked,
};

// The value of `name` in an event text, read as the library has always read events: the
// last line naming it wins, and the text ends at a line whose second character is a line
// feed (see keyvalue::Reading::kEventText). The view points into `text`.
UICONTROL_API bool FindEventValue(const wchar_t* text, const wchar_t* name, std::wstring_view* value);
UICONTROL_API std::wstring ReadEventText(const wchar_t* text, const wchar_t* name);
UICONTROL_API uint32_t ReadEventNumber(const wchar_t* text, const wchar_t* name);
UICONTROL_API uint32_t ReadEventPercent(const wchar_t* text, const wchar_t* name);
UICONTROL_API bool ReadEventFlag(const wchar_t* text, const wchar_t* name);

// How a value found in an event reads (absent values read as the empty text):
// a hexadecimal number as "%x" reads it: white space, an optional sign, an optional "0x",
// then digits in either case. Unreadable gives 0; a value beyond 32 bits gives 0xffffffff;
// a minus sign negates modulo 2^32.
UICONTROL_API uint32_t EventNumberOf(std::wstring_view value);
// The load progress: read as a base-16 long of 32 bits (saturating at its limits), kept
// unsigned: a negative value wraps, and nothing holds it to 0..100.
UICONTROL_API uint32_t EventPercentOf(std::wstring_view value);
// False only for "false" in any letter case; anything else, empty included, is true.
UICONTROL_API bool EventFlagOf(std::wstring_view value);

// The event a key names, compared exactly (case-sensitive, whole key); null is Unknown.
UICONTROL_API PageEvent LookupPageEvent(const wchar_t* key);
