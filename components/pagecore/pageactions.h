#pragma once
// The host's orders as the core carries them out: which order means what, and the answers
// that need no engine (no home page, a kept tab to recover, a bad window handle, find
// without words), are decided here once; an engine supplies the actions, named as the
// orders are, with its own means.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/pagecore/historyentry.h"
#include "components/pagecore/hints.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/orders.h"
#include "components/webpage/travellog.h"
#include "platform/windef.h"

struct PageOptions;

namespace pagecore {

class CCrashRecord;
class CPageReport;
class CWaitingOrders;

class IPageActions {
 public:
  virtual void Navigate(const std::wstring& url) = 0;
  // Back (-1) or forward (1); `order` names the order for the log.
  virtual void GoBy(int step, const std::wstring& order) = 0;
  // Stops the load on its way and ends it.
  virtual void StopLoading() = 0;
  virtual void Reload() = 0;
  // "html", "png" or "pdf" (a print).
  virtual void Save(const std::string& kind) = 0;
  virtual void ViewSource() = 0;
  virtual void Find(const std::wstring& text) = 0;
  virtual void MoveView(const RECT& rect) = 0;
  virtual void SetAudio(bool enable) = 0;
  virtual void Close(bool keepForRecovery) = 0;
  virtual void ReadText(bool source) = 0;
  // Ends the page's renderer (a page that no longer answers): the engine reports it as a
  // crash ("PROCESSCRASH"), and the next order brings the page back.
  virtual void EndRenderer() = 0;
  // Runs `script` in the engine's own script world of the top-level document; `done`
  // gets its value as JSON text, or an error, on the page thread (never after the page
  // closed).
  virtual void RunEngineScript(const std::string& script,
                               std::function<void(const std::string& error, const std::string& json)> done) = 0;
  // Opens `url` in a window of its own that waits for the host like one the page opened
  // ("NEWINDOW"); `background` asks the host for a tab behind this one.
  virtual void OpenWindow(const std::wstring& url, bool background) = 0;
  // The page's link hints.
  virtual CHintDriver& Hints() = 0;
  // A navigation that cannot begin: "NAVIGATEERROR" with status 0 and no address.
  virtual void RefuseNavigation(const std::string& why) = 0;
  // The window that shows the page.
  virtual HWND View() const = 0;
  // The page's name in log lines, and where its events go.
  virtual std::string Name() const = 0;
  virtual void Emit(const wchar_t* key, const webpage::KeyValues& values) = 0;
  // The page's report, for loading a tab's entries (historyreplay.h); without one a
  // recovered tab shows its shown entry alone.
  virtual CPageReport* Report() { return nullptr; }

 protected:
  ~IPageActions() = default;
};

struct OrderSettings {
  std::wstring homePage;
  // Finds the address of a tab kept for recovery ("RECOVERWND"); may be empty.
  std::function<bool(const std::wstring& uuid, std::wstring* url)> lookupRecoveredTab;
  // The same with the tab's back and forward entries (oldest first) and the shown one;
  // preferred when set.
  std::function<bool(const std::wstring& uuid, std::vector<HistoryEntry>* entries, int* index)> lookupRecoveredHistory;
};

// Carries out an order for an open page (or "ClOSETAB" for a crashed one).
void CarryOut(const webpage::Order& order, const OrderSettings& settings, IPageActions& page);
// The same with the settings of an engine's options.
void CarryOut(const webpage::Order& order, const ::PageOptions& options, IPageActions& page);

// An order for a page whose renderer died, when its engine can bring it back (the next
// load starts a new renderer): the page shows its last address (`lastUrl`) again first,
// the order waiting for it in `afterRevival`, unless the order goes elsewhere.
// `reload` starts the engine's reload. True when the order is to be carried out now.
bool Revive(const webpage::Order& order, const std::wstring& lastUrl, CWaitingOrders& afterRevival,
            const std::function<void()>& reload, const std::string& pageName);

// Whether an order may go on to the page's thread: never for a closed page, and for a
// crashed one only while it has not crashed `crashLimit` times in a row (the user's own
// REFRESH or NAVIGATE always may). A refusal is logged and told to the host.
bool MaySubmit(const webpage::Order& order, bool closed, bool crashed, CCrashRecord& crashes, int crashLimit,
               IPageActions& page);

// "STOPPAGE" for a page whose renderer has ended already: nothing to stop (logged).
bool AlreadyStopped(const webpage::Order& order, bool crashed, const std::string& pageName);

// Logs an order that a crashed (`crashed`) or closed page drops.
void LogDroppedOrder(const std::string& pageName, const webpage::Order& order, bool crashed);

// Loads `entries` (oldest first) into the page one by one and shows entry `index`: a tab
// reopened with its back and forward entries (historyreplay.h).
void LoadEntries(std::vector<HistoryEntry> entries, int index, IPageActions& page);

// A page brought back after its renderer died shows `lastUrl` again, with the back and
// forward entries it had (`history`, as the engine last told it) when they agree with
// it. True when that took `order` too (back or forward, moved within those entries).
bool ShowAgain(const webpage::NavigationHistory& history, const std::wstring& lastUrl, const webpage::Order& order,
               IPageActions& page);

// An order this engine cannot carry out: "ORDERUNSUPPORTED" and the reason in the status line.
void ReportUnsupported(IPageActions& page, const std::wstring& order, const std::string& reason);

}  // namespace pagecore
