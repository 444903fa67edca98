#pragma once
// Reading the key=value texts that pages send with their events.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "uicontrol/export.h"

using EventParams = std::map<std::wstring, std::wstring>;

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

// The same readings straight from the text, without building the map: each finds the
// name's value by the parse's rules (the last of several wins; the one-character-line and
// empty-line stops hold), so it answers exactly what reading the parsed map would.
UICONTROL_API bool FindEventValue(const wchar_t* text, const wchar_t* name, std::wstring_view* value);
UICONTROL_API std::wstring ReadEventText(const wchar_t* text, const wchar_t* name);
UICONTROL_API uint32_t ReadEventNumber(const wchar_t* text, const wchar_t* name);
UICONTROL_API uint32_t ReadEventPercent(const wchar_t* text, const wchar_t* name);
UICONTROL_API bool ReadEventFlag(const wchar_t* text, const wchar_t* name);

// The event a key names, compared exactly (case-sensitive, whole key); null is Unknown.
UICONTROL_API PageEvent LookupPageEvent(const wchar_t* key);

// Parses an event text into name -> value. Lines split at line feeds and each line at its
// first '='; nothing is trimmed. A line of exactly one character ends the parse (so do two
// line feeds in a row); lines without a name store nothing; a later name replaces an earlier.
UICONTROL_API EventParams ParseEventText(const wchar_t* text);

// The value as it stands; empty when absent.
UICONTROL_API std::wstring EventTextValue(const EventParams& params, const std::wstring& name);
// A hexadecimal number as "%x" reads it: white space, an optional sign, an optional "0x",
// then digits in either case. Absent or unreadable gives 0; a value beyond 32 bits gives
// 0xffffffff; a minus sign negates modulo 2^32.
UICONTROL_API uint32_t EventNumberValue(const EventParams& params, const std::wstring& name);
// The load progress: read like a number, then held to 0..100.
UICONTROL_API uint32_t EventPercentValue(const EventParams& params, const std::wstring& name);
// False only for "false" in any letter case; anything else, empty and absent included, is true.
UICONTROL_API bool EventFlagValue(const EventParams& params, const std::wstring& name);
