#pragma once
// What a page tells its host about its navigations and its document, the same for every
// engine: the navigation state machine (BEFORENAVIGATE, progress, NAVIGATECOMPLETE,
// DOCUMENTCOMPLETE, NAVIGATEERROR once per load, a time-out), title and icon again after
// each finished or stopped load, the rate gates of title, icon and status text, and the
// back and forward states. An engine feeds it what its page does; all of it runs on the
// engine's page thread (checked in debug and sanitizer builds).
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "components/pagecore/logcoalescer.h"
#include "components/pagecore/historyreplay.h"
#include "components/webpage/eventhub.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/ratelimit.h"

namespace pagecore {

using webpage::KeyValues;

class CPageReport {
 public:
  struct Hooks {
    // Where the events go.
    std::shared_ptr<webpage::CEventHub> hub;
    // Runs a task on the page's thread after a delay; the page drops it when it is gone
    // or no longer open by then.
    std::function<void(std::chrono::milliseconds, std::function<void()>)> runLater;
    // Whether the caller is on the page's thread.
    std::function<bool()> onThread;
    // The time the rate gates go by (the steady clock unless a test sets it).
    std::function<webpage::SteadyTime()> now;
    // A load that has not finished after this long fails with net::ERR_TIMED_OUT;
    // `stopLoading` stops the engine then.
    std::chrono::milliseconds loadTimeout{60000};
    std::function<void()> stopLoading;
    // The page's name in log lines.
    std::string name;
    // Told the number of requests blocked for the document whenever it changes (the
    // page's named value "BLOCKEDCOUNT"); any thread may read what it keeps.
    std::function<void(uint32_t)> blockedCountChanged;
  };
  // What the page knows of the document it shows; void once another commits.
  struct Document {
    bool completeSent = false;
    bool closeAsked = false;
    bool popupsDroppedLogged = false;
    int refusalsLogged = 0;
    std::wstring icon;  // the document's icon, once known
  };

  explicit CPageReport(Hooks hooks);

  void Emit(const wchar_t* key, const KeyValues& values);

  // A load of `url` begins: BEFORENAVIGATE and progress 0, and the load's time-out.
  void Begin(const std::wstring& url);
  // A new document committed (beginning its load first when none was heard of):
  // NAVIGATECOMPLETE and progress 50. `title` is what the engine knows of it already.
  void Commit(const std::wstring& url, const std::wstring& title = L"");
  // The address changed without a new document (an anchor, the history API).
  void SameDocument(const std::wstring& url);
  // The document finished loading: title and icon, progress 100 and DOCUMENTCOMPLETE,
  // once per document. False when nothing is committed.
  bool Complete();
  // The load ended without completing a new document (stopped, failed, timed out): the
  // page still shows the old one, whose title and icon are told again. False when no load
  // was on its way.
  bool Finish();
  void Progress(int percent);
  // NAVIGATEERROR; once per `loadId` when one is given (engines may report one failure
  // twice).
  void Error(uint32_t status, const std::string& text, const std::wstring& url, const std::string& loadId = "");

  // The document's title as the page set it; sent through the title gate.
  void OfferTitle(const std::wstring& title);
  // The icon the document declares (empty: the site's default); sent through the icon gate.
  void OfferIcon(const std::wstring& declared);
  // The status text (a link's address under the pointer); sent through the status gate.
  void OfferStatus(const std::wstring& text);
  // A request of the page was blocked: counted for the document, and "BLOCKEDCOUNT" with
  // the count sent through its gate (the newest count always follows). A new document
  // starts from none.
  void CountBlocked();
  uint32_t BlockedCount() const { return m_blocked; }
  // Sends title and icon now when they differ from what the host was last told.
  void EmitTitle();
  void EmitIcon(const std::wstring& declared);
  void SetTitle(const std::wstring& title);
  // Whether the page may go back and forward; told when it changes.
  void BackForward(bool back, bool forward);

  bool Loading() const { return m_nav.active; }
  void StopLoading() { m_nav.active = false; }
  uint64_t Generation() const { return m_nav.generation; }
  const std::wstring& LoadUrl() const { return m_nav.url; }
  // The load on its way was redirected to `url`.
  void Redirected(const std::wstring& url) { m_nav.url = url; }
  const std::wstring& Url() const { return m_url; }
  void SetUrl(const std::wstring& url) { m_url = url; }
  const std::wstring& Title() const { return m_title; }
  // What the page knows of its document (page thread: checked in debug and sanitizer
  // builds, as the core's deciders, such as JudgeOpenedWindow, work on it).
  Document& Doc();
  // A log line the page caused (its dialogs, refused windows and requests): repeated
  // ones of a kind are counted and written at most once a second (CLogCoalescer).
  void LogLine(const char* kind, webpage::LogLevel level, const std::string& text) {
    m_logLines.Write(kind, level, text);
  }
  // Loads a tab's entries (historyreplay.h): `step` carries out each next load. The first
  // load is the caller's. EndReplay gives up the rest (the user asked for something else).
  void Replay(std::shared_ptr<CHistoryReplay> replay, std::function<void(const CHistoryReplay::Step&)> step);
  void EndReplay();
  // How the page runs delayed work (for other jobs of the page, such as saves).
  const std::function<void(std::chrono::milliseconds, std::function<void()>)>& RunLater() const {
    return m_hooks.runLater;
  }

 private:
  void ReportTitleAndIcon();
  bool OnThread() const;
  // Offers to `gate`; `send` runs now or when the gate opens.
  void Offer(webpage::CLatestValueGate& gate, void (CPageReport::*send)());
  void SendTitle() { EmitTitle(); }
  void SendIcon() { EmitIcon(m_pendingIcon); }
  void SendStatus();
  void SendBlockedCount();

  const Hooks m_hooks;
  // A tab's entries being loaded (historyreplay.h): keeps the earlier loads' events back.
  std::shared_ptr<CHistoryReplay> m_replay;
  std::function<void(const CHistoryReplay::Step&)> m_replayStep;
  struct Navigation {
    bool active = false;
    uint64_t generation = 0;
    std::wstring url;
    int progress = -1;
  } m_nav;
  uint64_t m_navigations = 0;
  Document m_doc;
  std::wstring m_url;  // the committed document
  std::wstring m_title;
  // What the host was last told; cleared when it forgets them (BEFORENAVIGATE).
  std::wstring m_lastTitleSent, m_lastTitleUrl, m_lastIconSent;
  std::wstring m_pendingIcon, m_pendingStatus;
  bool m_statusOffered = false;
  webpage::CLatestValueGate m_titleGate, m_iconGate, m_statusGate, m_blockedGate;
  uint32_t m_blocked = 0;
  int m_back = -1, m_forward = -1;  // last states sent (-1: none yet)
  std::deque<std::string> m_reportedLoads;
  CLogCoalescer m_logLines;
};

// The address a site's default icon has: the origin of an http(s) page and /favicon.ico.
std::wstring DefaultIcon(const std::wstring& url);

}  // namespace pagecore
