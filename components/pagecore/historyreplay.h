#pragma once
// Loading a tab's back and forward entries into a new page. Neither engine takes a list of
// addresses as its history (Chromium's DevTools protocol only reads it; WebKitGTK restores
// only a state it serialised itself), so the page loads the entries one after the other,
// each once the one before has finished, and then goes back to the shown entry; the
// engine's own history then holds them all and back and forward work as in any tab.
//
// Only the last load is reported: the events of the loads before it are kept from the
// host, so the library sees one navigation to the shown entry (and writes no history for
// the others). Everything runs on the page's thread.
#include <memory>
#include <string>
#include <vector>

#include "components/pagecore/historyentry.h"

namespace pagecore {

class CHistoryReplay {
 public:
  // What the page does next.
  struct Step {
    enum Kind { kNone, kNavigate, kBack } kind = kNone;
    std::wstring url;  // for kNavigate
  };

  // `entries` oldest first, `index` the one to show (clamped into them).
  CHistoryReplay(std::vector<HistoryEntry> entries, int index);

  // The first load (its address).
  const std::wstring& FirstAddress() const { return m_entries.front().url; }
  // The entry to show.
  const std::wstring& ShownAddress() const { return m_entries[static_cast<size_t>(m_index)].url; }
  // Whether the replay needs more than one load.
  bool NeedsSteps() const { return m_loads > 1; }
  // A page event: true when it belongs to a load before the last (kept from the host).
  // At the end of such a load `next` is set to the load that follows.
  bool OnEvent(const std::wstring& key, Step* next);
  // The last load has begun (or the replay was given up): nothing is kept back any more.
  bool Finished() const { return m_load >= m_loads - 1; }
  // The user asked for something else: the replay ends where it is.
  void Abandon() { m_load = m_loads; }

 private:
  const std::vector<HistoryEntry> m_entries;
  const int m_index;
  const int m_loads;  // every entry once, then back to the shown one
  int m_load = 0;     // the load under way
};

}  // namespace pagecore
