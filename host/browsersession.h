#pragma once
// One run of the browser on a profile, the same under both faces (the terminal shell and
// the desktop window): it takes the profile's lock, opens the store, serves the profile's
// pages, starts the page engine the program chose, hands the library its components in
// the documented order (setters, Lua install, BindMainWnd, Start), runs the face's event
// loop, and shuts all of it down in reverse order. Each step that succeeded leaves a
// member whose destructor undoes it, so a failure half-way undoes just what was done.
//
// One session per process at a time: the library's tab manager is a process singleton.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/filterlists.h"
#include "host/localserver.h"
#include "host/luashell.h"
#include "host/notificationqueue.h"
#include "host/pageengine.h"
#include "host/pageevents.h"
#include "host/profilefolder.h"
#include "host/remoteserver.h"
#include "host/sessionkeeper.h"
#include "host/shelllog.h"
#include "host/shelloptions.h"
#include "platform/window.h"
#include "uicontrol/com/qxcom.h"
#include "uicontrol/interfaces/dataaccessor.h"
#include "uicontrol/interfaces/favoritedlg.h"

class CBrowserSession;

// The messages in which the two programs have always differed (the defaults are the
// shell's). Every message goes to standard error as "<program>: <text>".
struct SessionTexts {
  std::string program = "uicontrol-shell";
  std::string profileOwner = "uicontrol-shell";  // "the profile DIR is in use by another <owner>"
  std::string portMovedNote = ", and saved addresses of served pages open again once the port is free";
  std::string portNotKeptNote = "; it changes at the next start";
  bool engineNamed = false;  // "the page engine (<name>) could not be created"
  std::string errorsNote = " (see above)";
};

// What a program adds to the session: its view of the browser and its event loop.
class CSessionFace {
 public:
  virtual ~CSessionFace() = default;
  // The main window: the pages' views are placed into it. Made before the page engine.
  virtual HWND CreateMainWindow();
  // The dialog that a served page's "add favourite" opens (default: a notification to
  // the script, which asks in its own way).
  virtual IAddFavoriteDlg* CreateAddFavoriteDialog(CNotificationQueue& queue);
  // Adds the face's classes and host values to the Lua state before its script runs.
  virtual bool Install(CBrowserSession& session, std::string* error) = 0;
  // The event loop: hands notifications, timers and input to the script until it asks
  // to quit (a quit signal asks for it as "quit" does). Called also when the script
  // asked to quit in OnStart.
  virtual void Run(CBrowserSession& session) = 0;
  // After the script's OnQuit: nothing more reaches the script.
  virtual void Uninstall(CBrowserSession& /*session*/) {}
  // Runs what the page engine left for this thread while its tabs closed or it ended.
  virtual void DrainEngineWork() {}
  // The face's views go, after the page engine let go of the pages.
  virtual void ReleaseViews() {}
};

class CBrowserSession {
 public:
  CBrowserSession(ShellOptions options, SessionTexts texts, PageEngine engine, CSessionFace& face);
  ~CBrowserSession();
  CBrowserSession(const CBrowserSession&) = delete;
  CBrowserSession& operator=(const CBrowserSession&) = delete;

  // Starts everything, runs the interface until it quits, and gives the exit status: the
  // script's, or 1 when a step could not start (its message is on standard error) or the
  // script stopped on errors. Once only.
  int Run();

  // For the face, from Install on.
  CLuaShell& Shell() { return *m_shell; }
  const ShellOptions& Options() const { return m_options; }
  const std::string& BaseURL() const { return m_baseURL; }
  const PageEngine& Engine() const { return m_engine; }
  int NotificationFd() { return m_queue.ReadableFd(); }
  void ClearNotificationFd() { m_queue.ClearReadable(); }
  // Hands the waiting notifications to the script, none once it asked to quit;
  // `beforeFirst` runs before the first one handed. True when one was.
  bool DispatchNotifications(const std::function<void()>& beforeFirst = {});

 private:
  // Runs an undo step when the session ends, if the step it undoes was done.
  class CUndo {
   public:
    CUndo() = default;
    ~CUndo() {
      if (m_undo) m_undo();
    }
    CUndo(const CUndo&) = delete;
    CUndo& operator=(const CUndo&) = delete;
    void Set(std::function<void()> undo) { m_undo = std::move(undo); }

   private:
    std::function<void()> m_undo;
  };

  bool TakeProfile();
  bool ServePages();
  bool OpenStore();
  bool StartEngine();
  // Content blocking: the sites kept in the store, the filter lists' load begun, and
  // the interface's hooks (host.blocking, host.set_blocking).
  void StartBlocking();
  std::string SetBlocking(const std::string& site, bool on);
  void SetUpTabManager();
  bool InstallInterface();
  int RunInterface();
  bool Fail(const std::string& text);
  // The remote command interface: the profile's socket, and its commands on this thread.
  void StartRemote();
  void CarryOutRemote(unsigned int token, const std::wstring& request);

  // In start-up order; the members are destroyed in reverse, which is the shutdown order.
  const ShellOptions m_options;
  const SessionTexts m_texts;
  const PageEngine m_engine;
  CSessionFace& m_face;
  bool m_ran = false;
  CProfileLock m_lock;
  LastRun m_lastRun;
  std::unique_ptr<CShellLog> m_log;
  CUndo m_logSinks;
  CLocalServer m_server;
  std::string m_baseURL;
  std::string m_home;
  qxdk::UTIL::com_ptr<IDataAccessor> m_store;
  CUndo m_storeSlot;
  // The saved session; it outlives the page engine, whose hooks call it.
  std::unique_ptr<CSessionKeeper> m_keeper;
  HWND m_mainWnd = nullptr;
  CUndo m_views;
  // Shared with every page; its filter set is built while the session starts.
  std::shared_ptr<pagecore::CContentBlocker> m_blocker = std::make_shared<pagecore::CContentBlocker>();
  std::unique_ptr<CFilterListLoad> m_filterLoad;
  qxdk::UTIL::com_ptr<IWebPageManager> m_pages;
  CUndo m_engineSlot;
  CNotificationQueue m_queue;
  qxdk::UTIL::com_ptr<IAddFavoriteDlg> m_addDialog;
  qxdk::UTIL::com_ptr<IEditFavoriteDlg> m_editDialog;
  CUndo m_tabManagerSlots;
  CPageEvents m_pageEvents;
  std::unique_ptr<CLuaShell> m_shell;
  CUndo m_workers;
  // The face lets go of the script before the tabs close (declared after the workers so
  // that it is undone first, though it was installed before they started).
  CUndo m_faceInstalled;
  // Serves while the interface runs; stopped before anything it forwards to goes.
  std::unique_ptr<CRemoteServer> m_remote;
};
