#pragma once
// The session of one run, between the interface, the page engine and the store: it keeps
// the saved session current (through CSessionWriter), reads the last run's session at the
// start, brings its tabs and the user's closed tabs back with their entries when a page
// asks for them by key, and keeps the closed list to the tabs the user closed (tabs closed
// by quitting stay in the session instead).
//
// Threads: the interface's thread calls SetTabs, Arm, UserClosing, Restored and Quit; the
// engine's threads call ClosedForRecovery and Lookup; page events come from any thread.
// No lock is held while a page, the store or the writer is called.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/luashell.h"
#include "host/sessionsnapshot.h"
#include "host/sessionwriter.h"
#include "platform/mutex.h"
#include "uicontrol/interfaces/dataaccessor.h"

// What the start knows of how the last run ended.
struct LastRun {
  std::vector<SessionTab> tabs;  // uuid: the key a page's recover order brings it back with
  int selected = -1;             // place in tabs, -1: none
  bool unclean = false;          // the profile's lock was not released
  bool crashLoop = false;        // unclean, and within a minute of a restore
};

class CSessionKeeper {
 public:
  // Seconds between a restore and the last write before an unclean end within which the
  // next start offers the tabs instead of restoring them all again.
  static constexpr int64_t kCrashLoopSeconds = 60;

  explicit CSessionKeeper(IDataAccessor* store);
  ~CSessionKeeper();
  CSessionKeeper(const CSessionKeeper&) = delete;
  CSessionKeeper& operator=(const CSessionKeeper&) = delete;

  // Reads the last run's session; `unclean` from the profile's lock. Once, before Start.
  LastRun ReadLastRun(bool unclean);
  // Starts writing (not yet armed); `interval` is the least time between two writes.
  void Start(std::chrono::milliseconds interval);

  // One tab as the interface knows it: the address it was opened with counts until the
  // page has shown one.
  struct OpenTab {
    unsigned int id = 0;
    std::wstring url;
    bool isPrivate = false;
    std::wstring key;  // a reopened tab's key: its kept entries count until its page has them
  };
  // The interface's tabs in strip order and the selected one.
  void SetTabs(const std::vector<OpenTab>& tabs, unsigned int selected);
  // A page event of tab `id`: a shown address or title changes the session.
  void PageEvent(unsigned int id, const std::wstring& key, const std::wstring& value);
  void Arm();
  // The user closes tab `id`: its entries go with it into the closed list (not when
  // `discard`: a start page that reopened tabs replace).
  void UserClosing(unsigned int id, bool discard = false);
  // The last run's tabs were restored: remembered for the crash-loop rule.
  void Restored();
  // Writes the last state and stops writing; afterwards closing tabs keeps none.
  void Quit();

  // The engine's hooks.
  void ClosedForRecovery(const std::wstring& uuid, const std::wstring& title, const std::wstring& url);
  bool Lookup(const std::wstring& key, std::wstring* url, SessionTabState* history);

 private:
  // Reads one open tab from its page (the travel log) and the page it shows.
  SessionTabState ReadTab(unsigned int id);
  SessionSnapshot Collect();
  // A reopened tab whose page has not yet loaded all its kept entries stays as kept.
  void KeepReopened(const std::wstring& key, unsigned int id, SessionTabState* tab);
  void WriteSetting(const wchar_t* name, int64_t value);

  IDataAccessor* const m_store;
  std::unique_ptr<CSessionWriter> m_writer;
  platform::CMutex m_mutex;
  std::vector<OpenTab> m_order GUARDED_BY(m_mutex);
  unsigned int m_selected GUARDED_BY(m_mutex) = 0;
  // The page each tab shows (its last finished navigation), by tab: while a navigation
  // is under way the record already holds its target, which is not in the history yet.
  std::map<unsigned int, SessionEntry> m_shown GUARDED_BY(m_mutex);
  bool m_quitting GUARDED_BY(m_mutex) = false;
  // The last run's tabs by key, until a page takes them.
  std::map<std::wstring, SessionTabState> m_waiting GUARDED_BY(m_mutex);
  // Entries of tabs a page took back (by key), until the page's own history holds as many.
  std::map<std::wstring, SessionTabState> m_reopened GUARDED_BY(m_mutex);
  // Tabs the user closed whose page has not yet reported the close.
  std::deque<SessionTabState> m_userClosed GUARDED_BY(m_mutex);
};

// The back and forward entries of a page from its travel log texts and its record.
SessionTabState TabFromTravelLog(const std::wstring& back, const std::wstring& forward, const std::wstring& url,
                                 const std::wstring& title);

// A reopened tab's entries from what was kept (`kept`) and what its page holds now
// (`page`, from TabFromTravelLog): the page's own when it has loaded all the kept entries
// again (`*pageHasAll`; the kept ones are then no longer needed), the kept ones while it
// has not, and never without the entry the page shows.
SessionTabState MergeReopened(const SessionTabState& kept, const SessionTabState& page, bool* pageHasAll);
