#pragma once
// What the browser keeps of its open tabs so that a killed browser can bring them back:
// per tab its back and forward entries (address, title) and the one shown, the tabs in
// strip order, and the selected one. Written to the store with "save.session" and read
// back from "get.session"; a closed tab's entries travel the same way in the recover list.
#include <string>
#include <vector>

struct SessionEntry {
  std::wstring url, title;
};

struct SessionTabState {
  std::vector<SessionEntry> entries;  // oldest first
  int index = 0;                      // the entry shown
  // A private tab is never written anywhere: the one switch that keeps it out of the
  // saved session and the closed list.
  bool isPrivate = false;

  bool Empty() const { return entries.empty(); }
  const SessionEntry& Current() const { return entries[static_cast<size_t>(index)]; }
};

struct SessionSnapshot {
  std::vector<SessionTabState> tabs;
  int selected = -1;  // place in tabs, -1: none
};

// The most entries kept per tab: the ones nearest the shown entry (the store takes 100).
constexpr size_t kSessionEntriesKept = 50;

// Cuts the entries to kSessionEntriesKept around the shown one, keeps the index inside
// them, and drops entries without address. False when no entry is left.
bool NormalizeTab(SessionTabState* tab);

// The "save.session" parameter text. Private tabs and tabs without entries are left out
// (the selected place follows the tabs that stay).
std::wstring SessionParams(const SessionSnapshot& snapshot);
// The back and forward entries of a closed tab as "save.recover.tab" adds them to the
// uuid, title and url (url.J, title.J, index); empty for a tab without entries.
std::wstring TabEntryParams(const SessionTabState& tab);

// The "get.session" document; false (and an empty snapshot) for anything else.
bool ReadSessionDocument(const std::wstring& text, SessionSnapshot* snapshot);
// A "Tab" element's document ("get.recover.tab"); false for anything else.
bool ReadTabDocument(const std::wstring& text, SessionTabState* tab);
