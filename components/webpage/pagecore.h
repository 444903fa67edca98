#pragma once
// One page: a Chromium target and its DevTools session. Turns the engine's events into
// page events and carries out orders. Engine events, command replies and orders run on
// the engine thread; the host-facing calls (orders, subscriptions, named values) may
// come from any thread and only queue work or touch the few guarded fields.
#include <atomic>
#include <cstdint>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>

#include "components/pagecore/crashrecord.h"
#include "components/pagecore/eventtexts.h"
#include "components/pagecore/hangwatch.h"
#include "components/pagecore/openedwindows.h"
#include "components/pagecore/pagedata.h"
#include "components/pagecore/waitingorders.h"
#include "components/pagecore/pageactions.h"
#include "components/pagecore/pagereport.h"
#include "components/pagecore/tunables.h"
#include "components/pagecore/userscripts.h"
#include "components/webpage/cdpconnection.h"
#include "components/webpage/eventhub.h"
#include "components/webpage/handedtexts.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/orders.h"
#include "components/webpage/pagescript.h"
#include "components/webpage/ratelimit.h"
#include "components/webpage/travellog.h"
#include "uicontrol/interfaces/webpage.h"
#include "platform/mutex.h"

namespace pagecore {
class CContentBlocker;
}

namespace webpage {

using pagecore::CPageReport;

class CBrowser;
class CPageEngine;

// The parameters of Fetch.enable and Target.setAutoAttach for content blocking
// (pageblocking.cpp).
Json FetchParams();
Json AutoAttachParams();

class CPageCore final : public std::enable_shared_from_this<CPageCore>, private pagecore::IPageActions {
 public:
  // Starting: a page handed out before Chromium made it (see Pending); it keeps the
  // host's orders until its working page takes over.
  enum class State { Starting, Open, Crashed, Closed };
  // Fresh: made by NewPage; Adopted: a window the engine opened for another page.
  enum class Origin { Fresh, Adopted };
  // The window of the platform's window table that stands for the page's view; it is
  // destroyed with the last page that shows it.
  using ViewOwner = std::shared_ptr<std::remove_pointer_t<HWND>>;

  // `hub` carries the sinks of a page that died with its Chromium over to its new page;
  // null gives the page a hub of its own. `view` is the window of the page this one
  // takes over from; null makes a new one.
  CPageCore(std::shared_ptr<CPageEngine> engine, std::shared_ptr<CBrowser> browser, std::string targetId,
            std::string sessionId, Origin origin, std::shared_ptr<CEventHub> hub = nullptr, ViewOwner view = nullptr);
  ~CPageCore();

  // A page that the host gets at once, while Chromium makes the real one: it has a hub and
  // a window, and keeps orders (in order) until a working page takes over (TakeOver) or
  // the setup fails (SetupFailed).
  static std::shared_ptr<CPageCore> Pending(std::shared_ptr<CPageEngine> engine);

  // Host side, any thread.
  HRESULT SendOrder(const wchar_t* text);
  HRESULT Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie);
  HRESULT SetData(const wchar_t* name, const wchar_t* value);
  HRESULT GetData(const wchar_t* name, wchar_t** value);
  HRESULT FreeData(wchar_t* value);
  // The page object was released: the target goes away without an event.
  void Dispose();

  // Engine side.
  // Announces the page's window ("CHLIDHANDLE", "SHOWIEWND").
  void Announce();
  // Sends what the page needs, one command after the other without waiting for each
  // answer; `done` gets the first failure (empty when none) once the last is answered.
  // `announce` also announces the window (a page with a window of its own).
  void Start(bool announce, std::function<void(const std::string& error)> done);
  void OnSessionEvent(const std::string& method, const Json& params);
  // An event of a session of one of the page's frames in a process of its own
  // (pageblocking.cpp).
  void OnFrameSessionEvent(const std::string& sessionId, const std::string& method, const Json& params);
  // `background`: a link the user opened in a tab behind this one.
  void OnPopupCreated(const std::string& targetId, const std::wstring& url, bool background = false);
  void OnPopupUrl(const std::string& targetId, const std::wstring& url);
  void OnPopupGone(const std::string& targetId);
  bool TakePendingPopup(std::string* targetId);  // any thread
  void OnTargetDestroyed();
  void OnCrashed(const std::string& status);
  void OnShutdown();
  // A page whose setup failed before it took over from anyone: it stops, and leaves the
  // sinks it shares with the page the host holds alone.
  void Discard() { m_state = State::Closed; }

  const std::string& TargetId() const { return m_targetId; }
  const std::string& SessionId() const { return m_sessionId; }
  const std::shared_ptr<CBrowser>& Browser() const { return m_browser; }
  // Whether the page's Chromium runs (false for a page that has none).
  bool BrowserAlive() const;
  HWND View() const override { return m_view; }
  // The window a successor of this page keeps: a page that never had a Chromium hands its
  // window on; any other successor gets a new one.
  ViewOwner ReusableView() const { return m_browser ? nullptr : m_viewOwner; }
  State CurrentState() const { return m_state.load(); }
  // The manager's zoom in percent (engine thread).
  void ApplyZoom(unsigned int percent);

  // A page whose Chromium died lives on in a successor in a new Chromium, which takes
  // over its sinks, address and settings; the page object's calls go on to it.
  std::shared_ptr<CPageCore> Successor() const;
  const std::shared_ptr<CEventHub>& Hub() const { return m_hub; }
  // Engine thread: this new page takes the place of `dead` and carries out `order` (none
  // for a page that was still starting), then the orders `dead` kept meanwhile. When
  // `dead` was closed meanwhile, this page closes instead.
  void TakeOver(CPageCore& dead, const Order* order);
  // Engine thread: `dead` could not be brought back.
  void NotRevived(const Order& order, const std::string& error);
  // Engine thread: a starting page could not be made (`status`: "start-failed" when
  // Chromium did not start, "setup-failed" when it made no page).
  void SetupFailed(const std::string& status, const std::string& error);
  // Engine thread: carries out an order that SendOrder accepted.
  void Execute(const Order& order);

 private:
  using Reply = std::function<void(const std::string& error, const Json& result)>;

  // Carries out a parsed order, or keeps it while a successor is being made.
  HRESULT Submit(const Order& order);
  // Keeps `order` when a successor is being made; false otherwise (forwarded or run here).
  bool Defer(const Order& order);
  // Engine thread: the kept orders of a page that no successor takes over from.
  void RefuseDeferred(std::deque<Order> orders, const std::wstring& reason, bool navigationErrors);

  // Commands to Chromium; replies come back on the engine thread.
  void Command(const std::string& method, Json params, Reply reply = nullptr);
  void BrowserCommand(const std::string& method, Json params, Reply reply = nullptr);
  void Emit(const wchar_t* key, const KeyValues& values) override;
  pagecore::CPageReport* Report() override { return &m_report; }
  std::string Name() const override { return Describe(); }
  bool IsMainFrame(const Json& params, const char* field) const;

  // Engine events.
  // The report's hooks: events go to the hub, delayed work to the engine thread while
  // this page is open.
  CPageReport::Hooks ReportHooks();
  void BeginNavigation(const std::wstring& url);
  void Committed(const std::wstring& url);
  void SameDocument(const std::wstring& url);
  void Loaded();
  void FinishNavigation();
  void ReportError(uint32_t status, const std::string& text, const std::wstring& url, const std::string& loaderId);
  void RefreshHistory();
  NavigationHistory ReadHistory(const Json& result) const;
  void StoreHistory(const Json& result);
  void OnPageMessage(const Json& params);
  void OnContextCreated(const Json& context);
  // Gives a document shown before the page was set up (an adopted window) the scripts.
  void InstallInShownDocument();
  std::string OriginOfContext(long long contextId) const;
  bool IsTrusted(const std::string& origin) const;
  // A request of the page that the trust policy allowed.
  void CarryOut(const PageMessage& message);
  void OnDialog(const Json& params);
  // Content blocking (pageblocking.cpp).
  pagecore::CContentBlocker* Blocker() const;
  void NoteFrame(const std::string& method, const Json& params);
  std::string FrameUrl(const std::string& frameId) const;
  // A request waits for the blocker; `sessionId` is the session it was paused in (the
  // page's, or a frame's in a process of its own, whose document is `frameDocument`).
  void OnRequestPaused(const Json& params, const std::string& sessionId, const std::string& frameDocument = "");
  // A target attached automatically (a frame in a process of its own, a worker), which
  // waits for the page to let it run.
  void OnAttachedTarget(const Json& params);
  void SessionCommand(const std::string& sessionId, const std::string& method, Json params);
  // The generic element hiding sheet for every new document, once the filters are ready.
  void InstallGenericHiding();
  // User scripts and styles for the page's new documents, installed again when their
  // files changed (pageuserscripts.cpp); a console message that reports one failing.
  void InstallUserContent();
  void OnConsoleCall(const Json& params);
  // A frame's document got its engine world: what it hides beyond the generic sheet.
  void HideInDocument(long long context, const std::string& frameId);
  // What an adopted window already shows, reported as its events would have; looked at
  // again a bounded number of times while its document or its load may have passed
  // before the page was listening (DevTools reports no past events).
  void ProbeAdoptedDocument(int attemptsLeft = pagecore::kAdoptedRechecks);
  void RecheckAdopted(int attemptsLeft, bool probe);

  // Whether the renderer answers, and ending it (pagehang.cpp).
  pagecore::CHangWatch::Hooks HangHooks();
  void EndRenderer() override;

  // Orders.
  // An order for a page whose Chromium died: brings it back in a new one (engine thread).
  HRESULT ReviveFor(const Order& order);
  void ApplyFontSize(uint32_t size);
  // The orders' actions (pageactions.h).
  void Navigate(const std::wstring& url) override;
  void GoBy(int step, const std::wstring& order) override;
  void StopLoading() override;
  void Reload() override;
  void Save(const std::string& kind) override;
  void ViewSource() override;
  void Find(const std::wstring& text) override;
  void ReadText(bool source) override;  // pagecoretext.cpp
  void RunEngineScript(const std::string& script,
                       std::function<void(const std::string& error, const std::string& json)> done) override;  // pagecorelinks.cpp
  void OpenWindow(const std::wstring& url, bool background) override;  // pagecorelinks.cpp
  pagecore::CHintDriver& Hints() override { return m_hints; }
  void MoveView(const RECT& rc) override;
  void RefuseNavigation(const std::string& why) override;
  void ApplyViewMetrics();
  // Asks Chromium for the size of a window the host has not sized; applies the view's
  // metrics once it is known when `apply`.
  void QueryViewSize(bool apply);
  void SetAudio(bool enable) override;
  void Close(bool keepForRecovery) override;
  void ClosePendingPopups();

  std::string Describe() const;

  const std::shared_ptr<CPageEngine> m_engine;
  const std::shared_ptr<CBrowser> m_browser;
  const std::string m_targetId;
  const std::string m_sessionId;
  const Origin m_origin;
  // Known only to this page's script: a message without it did not come from there.
  const std::string m_token;
  const std::string m_script;
  const ViewOwner m_viewOwner;
  const HWND m_view;
  const std::shared_ptr<CEventHub> m_hub;
  std::atomic<State> m_state{State::Open};
  pagecore::CCrashRecord m_crashes;
  // A fresh page's first, empty entry is left out of the history the host sees (Chromium
  // keeps it: see Loaded).
  const bool m_hideFirstEntry;

  // Text size and travel logs (GetData, SetData); a successor takes the size over.
  pagecore::CPageData m_data;
  // Windows the page opened that wait for the host (by target id).
  pagecore::COpenedWindows<std::string> m_popups;
  mutable platform::CMutex m_mutex;
  std::shared_ptr<CPageCore> m_successor GUARDED_BY(m_mutex);
  // While a successor is being made (the page is starting, or its Chromium is started
  // anew) orders wait here, in order. Used under m_mutex, so that an order is either kept
  // or goes to the successor.
  pagecore::CWaitingOrders m_waiting;
  // Orders that wait for the load a revival after a renderer crash started.
  pagecore::CWaitingOrders m_afterRevival;

  // Engine thread only.
  pagecore::CPageReport m_report;
  // Chromium's request for the document of the load on its way.
  std::string m_documentRequest;
  // The address last asked for, until a document commits: a tab closed while its first
  // page (or a restored one) still loads is kept for recovery under it.
  std::wstring m_requestedURL;
  // The window shows a page's source (learnt from Chromium's target address): its
  // documents are reported under "view-source:" addresses.
  bool m_showsSource = false;
  std::wstring m_lastWindowOpenUrl;
  long long m_mainContext = 0;
  std::string m_mainOrigin;  // of the top-level document's main world, as Chromium reports it
  std::map<long long, std::string> m_contextOrigins;  // every live execution context of the page
  long long m_engineContext = 0;                      // the engine's world of the top-level document
  pagecore::CHintDriver m_hints;
  pagecore::CHangWatch m_hang{HangHooks()};
  std::map<long long, std::string> m_engineWorlds;    // the engine's world in each frame: its frame
  std::map<std::string, long long> m_frameMainWorlds; // each frame's main world
  // Content blocking: the address and parent of each frame, by frame id, as last
  // navigated; whether the generic hiding script is registered for new documents.
  std::map<std::string, std::string> m_frameUrls;
  std::map<std::string, std::string> m_frameParents;
  bool m_genericHidingInstalled = false;
  // The user content installed for new documents, its scripts' identifiers, and the
  // serial of that installation (answers for an older one are removed at once).
  std::shared_ptr<const pagecore::UserContent> m_userContent;
  std::vector<std::string> m_userContentIds;
  uint64_t m_userContentSerial = 0;
  // The sessions of the page's frames in processes of their own, with their documents.
  std::map<std::string, std::string> m_frameSessions;
  CEventBudget m_popupBudget;
  unsigned int m_zoom = 100;
  int m_viewWidth = 0, m_viewHeight = 0;  // in pixels; 0 until known
  bool m_muted = false;
  uint64_t m_muteSerial = 0;
  std::string m_muteScriptId;
};

}  // namespace webpage
