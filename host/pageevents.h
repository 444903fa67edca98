#pragma once
// Page orders and events that the library does not carry. The library subscribes each
// tab's page to the keys of its own event table and has no call that sends any other
// order; the terminal reader needs "GETTEXT" -> "PAGETEXT", "FIND" with words ->
// "FINDRESULT", and the results of saves ("SAVECOMPLETE"). The host reaches the tab's
// page through the library's record, subscribes those keys itself, and hands their
// events to the interface like any other tab event (CTabManager::Notify).
#include <set>
#include <string>
#include <vector>

class CPageEvents {
 public:
  // The keys subscribed beside the library's own.
  static const wchar_t* const kKeys[];

  // `extraKeys` are subscribed too (an engine's own events, such as a desktop engine's
  // sound state).
  explicit CPageEvents(std::vector<std::wstring> extraKeys = {}) : m_extraKeys(std::move(extraKeys)) {}

  // Subscribes the extra keys of tab uID's page, once per page (call on every tab event;
  // it is cheap after the first). One thread only (the interface's).
  void Watch(unsigned int uID);
  // Sends an order text ("CMD=...\n" lines) to tab uID's page; false without such a tab
  // or when the page refuses the text.
  static bool SendOrder(unsigned int uID, const std::wstring& text);

 private:
  std::vector<std::wstring> m_extraKeys;
  std::set<unsigned int> m_watched;  // tabs looked at (with or without a page)
};
