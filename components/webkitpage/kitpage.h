#pragma once
// One page on a WebKitWebView. The host's calls (orders, subscriptions, data) come from
// any thread and are checked there; everything that touches WebKit runs on the GTK
// thread, in the order the calls came. What GetData answers is kept up to date by the
// GTK thread under the page's mutex, so that no call waits for the GTK thread.
#include <webkit2/webkit2.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "components/pagecore/crashrecord.h"
#include "components/pagecore/eventtexts.h"
#include "components/pagecore/hangwatch.h"
#include "components/pagecore/openedwindows.h"
#include "components/pagecore/pagedata.h"
#include "components/pagecore/waitingorders.h"
#include "components/pagecore/pageactions.h"
#include "components/pagecore/pagereport.h"
#include "components/pagecore/savejob.h"
#include "components/pagecore/tunables.h"
#include "components/pagecore/userscripts.h"
#include "components/webkitpage/kitcontext.h"
#include "components/webpage/eventhub.h"
#include "components/webpage/handedtexts.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/orders.h"
#include "components/webpage/pagescript.h"
#include "components/webpage/ratelimit.h"
#include "components/webpage/travellog.h"
#include "platform/mutex.h"
#include "platform/windef.h"

namespace webkitpage {

using webpage::KeyValues;
using webpage::Order;
using webpage::OrderKind;

class CKitPage final : public std::enable_shared_from_this<CKitPage>, private pagecore::IPageActions {
 public:
  enum class State { Open, Crashed, Closed };

  // `popup`: a view that another page opened (a reference is taken over), or null for a
  // new view. `openedByPage`: the page was opened by a page (it may close itself).
  CKitPage(std::shared_ptr<CKitContext> context, WebKitWebView* popup, bool openedByPage);
  ~CKitPage();
  CKitPage(const CKitPage&) = delete;
  CKitPage& operator=(const CKitPage&) = delete;

  // Any thread: announces the window and queues the view's creation.
  void Start();
  // Any thread: the host let the page go; it is closed on the GTK thread.
  void Dispose();

  // Any thread: the host's calls.
  HRESULT SendOrder(const wchar_t* text);
  HRESULT Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie);
  HRESULT SetData(const wchar_t* name, const wchar_t* value);
  HRESULT GetData(const wchar_t* name, wchar_t** value);
  HRESULT FreeData(wchar_t* value);

  // Any thread: takes the oldest window this page opened and that waits for the host
  // (a reference the caller owns), or null.
  WebKitWebView* TakePopup();

  // GTK thread.
  void ApplyZoom();
  // A link the user opens in a new tab behind this one (kitpagelinks.cpp).
  void OpenLinkInTab(const std::wstring& url);
  void Close(bool keepForRecovery) override;

  State CurrentState() const { return m_state.load(); }
  const CKitContext* Context() const { return m_context.get(); }
  HWND View() const override { return m_hwnd; }
  std::string Describe() const;

 private:
  // ---- host side (kitpagehost.cpp)
  HRESULT Submit(const Order& order);
  // The report's hooks: events go to the hub, delayed work to the GTK thread while this
  // page is open.
  pagecore::CPageReport::Hooks ReportHooks();

  // ---- the view (kitpageview.cpp), GTK thread
  void CreateView();
  WebKitWebView* NewWebView(WebKitWebView* related);
  void Connect();
  void AdoptLoadedState();
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri, GError* error, gpointer self);
  static void OnNotify(GObject* object, GParamSpec* spec, gpointer self);
  static void OnHistoryChanged(WebKitBackForwardList* list, WebKitBackForwardListItem* added, gpointer removed,
                               gpointer self);
  static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
  static void OnClose(WebKitWebView* view, gpointer self);
  static gboolean OnCrashed(WebKitWebView* view, WebKitWebProcessTerminationReason reason, gpointer self);
  static void OnMouseTarget(WebKitWebView* view, WebKitHitTestResult* hit, guint modifiers, gpointer self);
  static gboolean OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
  static void OnCountedMatches(WebKitFindController* finder, guint count, gpointer self);
  static void OnFound(WebKitFindController* finder, guint count, gpointer self);
  static void OnNotFound(WebKitFindController* finder, gpointer self);
  static void OnScriptMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result, gpointer self);
  // ---- content blocking (kitblocking.cpp), GTK thread
  // A request the web process cancelled ("blocking.blocked"): counted.
  static gboolean OnUserMessage(WebKitWebView* view, WebKitUserMessage* message, gpointer self);
  // The element hiding sheets for the document that committed.
  void ApplyHiding();
  void ReleaseHiding();
  // ---- user scripts and styles (kituserscripts.cpp), GTK thread
  // The main world's handler that hears of a user script's failure.
  static void InstallUserScriptReports(WebKitUserContentManager* content);
  static void OnUserScriptMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result, gpointer self);
  // The user content for the view's next documents, installed again when a file changed.
  void ApplyUserContent();
  void ReleaseUserContent();

  // ---- links the user opens elsewhere (kitpagelinks.cpp), GTK thread
  void ConnectLinks();
  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer self);
  static gboolean OnContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event,
                                WebKitHitTestResult* hit, gpointer self);
  void OpenWindow(const std::wstring& url, bool background) override;
  void RunEngineScript(const std::string& script,
                       std::function<void(const std::string& error, const std::string& json)> done) override {
    RunScript(script, std::move(done));
  }
  pagecore::CHintDriver& Hints() override { return m_hints; }

  // ---- navigation state (kitpageview.cpp), GTK thread
  void BeginNavigation(const std::wstring& url);
  void Committed();
  void CheckSameDocument();
  void SameDocument(const std::wstring& url);
  void Loaded();
  void FinishNavigation();
  void ReportError(uint32_t status, const std::string& text, const std::wstring& url);
  // Reads title and icon from the document, reports them, then calls `then`.
  void ReadDocument(std::function<void()> then);
  void StoreHistory();
  void OnPageMessage(const std::string& json);
  // A request of the page (from the engine's relay, or window.close()), judged by the
  // trust policy and carried out when allowed.
  void OnRequest(const webpage::PageMessage& message);
  void Crashed(const std::string& status);

  // ---- whether the web process answers, and ending it (kitpagehang.cpp), GTK thread
  pagecore::CHangWatch::Hooks HangHooks();
  // Hears WebKit's own verdict and starts the watch for the view just made.
  void WatchResponsiveness();
  static void OnResponsive(GObject* object, GParamSpec* spec, gpointer self);
  void EndRenderer() override;

  // ---- orders (kitpageorders.cpp), GTK thread
  void Execute(const Order& order);
  // Carries out the orders that waited for the revived page (loaded or not).
  void RunAfterRevival();
  // The orders' actions (pageactions.h).
  void Navigate(const std::wstring& url) override;
  void GoBy(int step, const std::wstring& name) override;
  void StopLoading() override;
  void Reload() override;
  void MoveView(const RECT& rect) override;
  void RefuseNavigation(const std::string& why) override;
  std::string Name() const override { return Describe(); }
  // "html" and "png" from the view; "pdf" prints (Print).
  void Save(const std::string& kind) override;
  pagecore::CSaveJob::Hooks SaveHooks();
  // A save of `kind` named after the page as it is now, with the engine's time limit.
  std::shared_ptr<pagecore::CSaveJob> StartSave(const std::string& kind);
  void Print();
  void ViewSource() override;
  void Find(const std::wstring& text) override;
  void SetAudio(bool enable) override;
  void ReadText(bool source) override;
  void ApplyFontSize(uint32_t size);
  // Runs `script` in the engine's own world of the top-level frame; `done` gets the
  // result as JSON text, or an error.
  void RunScript(const std::string& script, std::function<void(const std::string& error, const std::string& json)> done);

  void Emit(const wchar_t* key, const KeyValues& values) override;
  pagecore::CPageReport* Report() override { return &m_report; }

  const std::shared_ptr<CKitContext> m_context;
  const HWND m_hwnd;
  const bool m_openedByPage;
  const std::shared_ptr<webpage::CEventHub> m_hub;
  std::atomic<State> m_state{State::Open};
  std::atomic<unsigned long> m_serial;

  // Text size and travel logs (GetData, SetData), kept up to date by the GTK thread.
  pagecore::CPageData m_data;
  // Windows this page opened that wait for the host (a reference of our own each).
  pagecore::COpenedWindows<WebKitWebView*> m_popups;
  pagecore::CCrashRecord m_crashes;

  // GTK thread only from here on.
  WebKitWebView* m_web = nullptr;  // a reference of our own
  GCancellable* m_cancel = nullptr;
  pagecore::CPageReport m_report;
  // What WebKit tells of the load on its way, beyond what the report keeps.
  struct Load {
    bool committed = false;   // the new document has committed
    bool cancelled = false;   // stopped, replaced or timed out: no load event follows
    bool errorPage = false;   // failed before commit: the engine's error page loads next
  } m_load;
  // The element hiding sheets in the view's content manager (the generic one is the
  // context's).
  WebKitUserStyleSheet* m_hidingGeneric = nullptr;
  WebKitUserStyleSheet* m_hidingOwn = nullptr;
  // The user content installed in the view's content manager, and its scripts there.
  std::shared_ptr<const pagecore::UserContent> m_userContent;
  std::vector<WebKitUserScript*> m_userScripts;
  bool m_muted = false;
  bool m_playing = false;
  std::wstring m_requestedUrl;
  std::wstring m_sameDocument;  // a new address seen without a load, to be looked at
  webpage::CEventBudget m_popupBudget{pagecore::kPopupBurst, pagecore::kPopupRefill};
  std::wstring m_findText;
  pagecore::CWaitingOrders m_afterRevival;  // orders that wait for the page a revival reloads
  std::deque<std::wstring> m_finds;  // FIND orders waiting for WebKit's answers
  unsigned m_findCount = 0;
  pagecore::CHintDriver m_hints;
  pagecore::CHangWatch m_hang{HangHooks()};
  GSimpleAction* m_openLink = nullptr;  // the context menu's "Open Link in New Tab"
};

}  // namespace webkitpage
