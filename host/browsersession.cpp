#include "host/browsersession.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "components/datastore/datastore.h"
#include "components/pagecore/userscripts.h"
#include "components/webpage/weblog.h"
#include "host/engineleftovers.h"
#include "host/hostdialogs.h"
#include "host/luasession.h"
#include "host/recovery.h"
#include "host/remoteprotocol.h"
#include "host/remoteclient.h"
#include "host/servedport.h"
#include "logging/logging.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "uicontrol/tabmanager.h"

using qxdk::UTIL::com_ptr;

namespace {

// The host of a site named by an address ("https://news.example/a") or by its host name.
std::string SiteHost(const std::string& site) {
  const std::string host = pagecore::HostOfAddress(site);
  return host.empty() ? pagecore::HostOfAddress("http://" + site + "/") : host;
}

// The key of a remote command on the notification queue (no library notification has
// it); its uID is the server's token for the answer.
const wchar_t kRemoteKey[] = L"uicontrol.remote";

// The least time between two writes of the open tabs: four a second at most, so a kill
// loses at most the last quarter second of changes.
constexpr std::chrono::milliseconds kSessionWriteInterval{250};

}  // namespace

HWND CSessionFace::CreateMainWindow() { return platform::CreateWindowHandle(); }

IAddFavoriteDlg* CSessionFace::CreateAddFavoriteDialog(CNotificationQueue& queue) {
  return ::CreateAddFavoriteDialog(queue);
}

CBrowserSession::CBrowserSession(ShellOptions options, SessionTexts texts, PageEngine engine, CSessionFace& face)
    : m_options(std::move(options)),
      m_texts(std::move(texts)),
      m_engine(std::move(engine)),
      m_face(face),
      m_pageEvents(m_engine.eventKeys) {}

// The members undo their steps in reverse order of declaration.
CBrowserSession::~CBrowserSession() = default;

bool CBrowserSession::Fail(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", m_texts.program.c_str(), text.c_str());
  return false;
}

int CBrowserSession::Run() {
  if (m_ran) {
    Fail("a session runs once");
    return 1;
  }
  m_ran = true;
  if (!TakeProfile() || !ServePages() || !OpenStore() || !StartEngine()) return 1;
  SetUpTabManager();
  if (!InstallInterface()) return 1;
  return RunInterface();
}

bool CBrowserSession::TakeProfile() {
  if (m_engine.unavailable) {
    PageEngineSettings settings;
    settings.chromiumPath = m_options.chromium;
    const std::string why = m_engine.unavailable(settings);
    if (!why.empty()) return Fail(why);
  }
  const std::string& profile = m_options.profile;
  if (!MakeFolder(profile) || !MakeFolder(profile + "/downloads"))
    return Fail("cannot create the profile folder " + profile);
  if (!m_lock.Take(profile))
    return Fail("the profile " + profile + " is in use by another " + m_texts.profileOwner);
  m_lock.MarkRunning();
  // A script's print reaches a pipe line by line, as it does a terminal.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  // Component and library log lines go to a file: the terminal and the window belong to
  // the interface.
  m_log = std::make_unique<CShellLog>(profile + "/shell.log");
  m_log->InstallPageEngineSink();
  m_logSinks.Set([] { webpage::SetLogSink(nullptr); });
  return true;
}

bool CBrowserSession::ServePages() {
  const std::string& profile = m_options.profile;
  if (!m_options.serve.empty()) {
    const int kept = ReadServedPort(profile);
    std::string error;
    if (!m_server.Start(m_options.serve, &error, kept)) return Fail(error);
    m_baseURL = m_server.BaseURL();
    if (m_server.PortMoved()) {
      // The profile's port stays what it was: once it is free, its addresses work again.
      Fail("port " + std::to_string(kept) + " of this profile is taken; the pages are served at " + m_baseURL +
           " for now" + m_texts.portMovedNote);
    } else if (kept == 0 && !WriteServedPort(profile, m_server.Port())) {
      Fail("cannot keep the port in " + profile + m_texts.portNotKeptNote);
    }
  }
  m_home = !m_options.home.empty() ? m_options.home : !m_baseURL.empty() ? m_baseURL : "about:blank";
  return true;
}

bool CBrowserSession::OpenStore() {
  const std::string& profile = m_options.profile;
  // The favourite URL log goes beside the database.
  platform::RegistrySetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorla\\qxe", L"datapath", platform::Utf8ToWide(profile));
  datastore::DataStoreOptions storeOptions;
  storeOptions.databasePath = profile + "/datastore.db";
  if (m_log->IsOpen()) {
    CShellLog* log = m_log.get();
    storeOptions.logSink = [log](datastore::LogLevel level, const std::string& text) {
      log->Write(std::string("datastore ") + datastore::LogLevelName(level), text);
    };
  }
  IDataAccessor* rawStore = nullptr;
  if (FAILED(datastore::CreateDataStore(storeOptions, &rawStore)) || !rawStore)
    return Fail("the data store could not be opened in " + profile);
  m_store.Attach(rawStore);
  m_store->SetData(L"defaulturl", platform::Utf8ToWide(m_home).c_str());
  m_storeSlot.Set([] { CTabManager::SetDataAccessor(nullptr); });
  m_keeper = std::make_unique<CSessionKeeper>(m_store.get());
  m_lastRun = m_keeper->ReadLastRun(m_lock.PreviousEndUnclean());
  return true;
}

bool CBrowserSession::StartEngine() {
  m_mainWnd = m_face.CreateMainWindow();
  m_views.Set([this] { m_face.ReleaseViews(); });

  PageEngineSettings settings;
  settings.chromiumPath = m_options.chromium;
  settings.visible = m_options.visible;
  settings.dataFolder = m_options.profile + "/" + m_engine.name;
  // The engine of a killed run may still be shutting down on this folder.
  if (m_lock.PreviousEndUnclean() && !WaitForEngineLeftovers(settings.dataFolder, std::chrono::seconds(10))) {
    Fail("the page engine of the last run still holds " + settings.dataFolder);
  }
  settings.downloadsFolder = m_options.profile + "/downloads";
  settings.homePage = platform::Utf8ToWide(m_home);
  // The served pages are the browser's own: only they may use the page script API (the
  // favourite dialogs) and close their tab. Nothing else is trusted.
  if (!m_baseURL.empty()) settings.trustedOrigins.push_back(m_baseURL);
  StartBlocking();
  settings.contentBlocker = m_blocker;
  settings.userContent =
      std::make_shared<pagecore::CUserContentFolders>(m_options.profile + "/scripts", m_options.profile + "/styles");
  CSessionKeeper* keeper = m_keeper.get();
  settings.onTabClosedForRecovery = [keeper](const std::wstring& uuid, const std::wstring& title,
                                             const std::wstring& url) { keeper->ClosedForRecovery(uuid, title, url); };
  settings.lookupRecoveredTab = [keeper](const std::wstring& uuid, std::wstring* url) {
    SessionTabState history;
    return keeper->Lookup(uuid, url, &history);
  };
  settings.lookupRecoveredHistory = [keeper](const std::wstring& uuid, std::vector<pagecore::HistoryEntry>* entries,
                                             int* index) {
    std::wstring url;
    SessionTabState history;
    if (!keeper->Lookup(uuid, &url, &history)) return false;
    for (const SessionEntry& entry : history.entries) entries->push_back({entry.url, entry.title});
    *index = history.index;
    return true;
  };
  IWebPageManager* rawPages = nullptr;
  if (!m_engine.create || FAILED(m_engine.create(settings, &rawPages)) || !rawPages) {
    return Fail(m_texts.engineNamed ? "the page engine (" + m_engine.name + ") could not be created"
                                    : std::string("the page engine could not be created"));
  }
  m_pages.Attach(rawPages);
  m_engineSlot.Set([this] {
    CTabManager::SetWebPageManager(nullptr);
    m_pages.reset();  // ends the engine after the pages' last orders (the tabs are saved by then)
    m_face.DrainEngineWork();
  });
  wchar_t* zoom = nullptr;
  if (m_engine.applyZoom && SUCCEEDED(m_store->GetData(L"page.size", &zoom)) && zoom) {
    if (*zoom) m_engine.applyZoom(m_pages.get(), zoom);
    m_store->FreeData(zoom);
  }
  return true;
}

void CBrowserSession::StartBlocking() {
  wchar_t* sites = nullptr;
  if (SUCCEEDED(m_store->GetData(L"blocking.off.sites", &sites)) && sites) {
    for (const std::string& site : ReadSiteList(sites)) m_blocker->SetSiteOff(site, true);
    m_store->FreeData(sites);
  }
  std::vector<std::string> trusted;
  if (!m_baseURL.empty()) trusted.push_back(m_baseURL);
  CShellLog* log = m_log.get();
  m_filterLoad = std::make_unique<CFilterListLoad>(m_blocker, contentfilter::InstalledEasyLists(),
                                                   m_options.profile + "/filters", trusted,
                                                   [log](const std::string& text) { log->Write("blocking", text); });
}

std::string CBrowserSession::SetBlocking(const std::string& site, bool on) {
  const std::string host = SiteHost(site);
  if (host.empty()) return "\"" + site + "\" is no site";
  std::vector<std::string> sites = m_blocker->SitesOff();
  sites.erase(std::remove(sites.begin(), sites.end(), host), sites.end());
  if (!on) sites.push_back(host);
  // Kept first: a name the store refuses is no host name, and changes nothing.
  if (FAILED(m_store->SetData(L"blocking.off.sites", WriteSiteList(sites).c_str()))) return "\"" + host + "\" is no host name";
  m_blocker->SetSiteOff(host, !on);
  return "";
}

void CBrowserSession::SetUpTabManager() {
  m_addDialog.Attach(m_face.CreateAddFavoriteDialog(m_queue));
  m_editDialog.Attach(CreateEditFavoriteDialog(m_queue));
  m_log->InstallLibraryHook();
  CTabManager::SetMainWndHwnd(m_mainWnd);
  CTabManager::SetWebPageManager(m_pages);
  CTabManager::SetDataAccessor(m_store);
  CTabManager::SetAddFavoriteDlg(m_addDialog);
  CTabManager::SetEditFavoriteDlg(m_editDialog);
  IWebPageManager* pages = m_pages.get();
  auto applyZoom = m_engine.applyZoom;
  CNotificationQueue* queue = &m_queue;
  CSessionKeeper* keeper = m_keeper.get();
  CTabManager::RegisterNotify([queue, pages, applyZoom, keeper](unsigned int uID, const wchar_t* key,
                                                                const wchar_t* value) {
    // The stored zoom changed: every page follows at once.
    if (uID == 0 && key && applyZoom && std::wcscmp(key, L"page.size") == 0) applyZoom(pages, value ? value : L"");
    if (key) keeper->PageEvent(uID, key, value ? value : L"");
    queue->Push({HostNotification::Tab, uID, key ? key : L"", value ? value : L""});
  });
  CTabManager::RegisterDataNotify([queue](const wchar_t* key, const std::wstring& data) {
    queue->Push({HostNotification::Data, 0, key ? key : L"", data});
  });
  m_tabManagerSlots.Set([] {
    CTabManager::RegisterNotify(nullptr);
    CTabManager::RegisterDataNotify(nullptr);
    logging::SetMessageHook(nullptr);
    CTabManager::SetAddFavoriteDlg(nullptr);
    CTabManager::SetEditFavoriteDlg(nullptr);
  });
}

bool CBrowserSession::InstallInterface() {
  m_shell = std::make_unique<CLuaShell>(m_options.luaMemoryMiB << 20);
  std::string error;
  if (!m_shell->InstallAPIs(&error)) return Fail(error);
  m_shell->SetHostString("base_url", m_baseURL);
  m_shell->SetHostString("profile", m_options.profile);
  m_shell->SetHostString("home", m_home);
  m_shell->SetHostString("engine", m_engine.name);
  // The served folder: a chrome may show the icons of served pages from their files.
  m_shell->SetHostString("serve_dir", m_options.serve);
  m_shell->SetHostFlag("restore", m_options.restore);
  m_shell->SetHostSession(m_lastRun.tabs);
  InstallSessionFunctions(m_shell->Host().GetLuaState(), m_keeper.get(), m_lastRun);
  m_shell->SetHostArgs(m_options.scriptArgs);
  CLuaShell::BlockingHooks blocking;
  blocking.state = [this](const std::string& site, bool* on, std::string* host) {
    *host = SiteHost(site);
    if (host->empty()) return false;
    *on = !m_blocker->SiteOff(*host);
    return true;
  };
  blocking.set = [this](const std::string& site, bool on) { return SetBlocking(site, on); };
  m_shell->SetBlockingHooks(std::move(blocking));
  const bool installed = m_face.Install(*this, &error);
  m_faceInstalled.Set([this] { m_face.Uninstall(*this); });
  if (!installed) return Fail(error);
  CTabManager& tm = CTabManager::Instance();
  tm.BindMainWnd(m_mainWnd);
  if (!tm.Start()) return Fail("the worker threads could not be started");
  m_keeper->Start(kSessionWriteInterval);
  m_workers.Set([this] {
    // The open tabs are saved as they are; closing them now keeps none in the closed
    // list. Then the workers end.
    m_keeper->Quit();
    CTabManager& manager = CTabManager::Instance();
    manager.CloseAllTab();
    manager.Quit();
    m_face.DrainEngineWork();
  });
  return true;
}

int CBrowserSession::RunInterface() {
  std::string error;
  if (!m_shell->RunScript(m_options.ui, &error)) {
    Fail(error);
    return 1;
  }
  m_shell->CallStart();
  StartRemote();
  m_face.Run(*this);
  m_remote.reset();
  m_shell->CallQuit();
  int status = m_shell->ExitStatus();
  const int errors = m_shell->ScriptErrors();
  if (errors > 0 && status == 0) {
    Fail("the interface stopped on " + std::to_string(errors) + " error" + (errors == 1 ? "" : "s") +
         m_texts.errorsNote);
    status = 1;
  }
  return status;
}

bool CBrowserSession::DispatchNotifications(const std::function<void()>& beforeFirst) {
  bool handed = false;
  m_queue.Dispatch([&](const HostNotification& n) {
    if (m_shell->QuitRequested()) return;  // the script wants no more once it asked to quit
    if (!handed && beforeFirst) beforeFirst();
    handed = true;
    if (n.kind == HostNotification::Data && n.key == kRemoteKey) {
      CarryOutRemote(n.uID, n.value);
    } else if (n.kind == HostNotification::Tab) {
      m_pageEvents.Watch(n.uID);
      m_shell->CallTab(n.uID, n.key, n.value);
    } else {
      m_shell->CallData(n.key, n.value);
    }
  });
  return handed;
}

void CBrowserSession::StartRemote() {
  CNotificationQueue* queue = &m_queue;
  auto forward = [queue](unsigned int token, const std::string& request) {
    queue->Push({HostNotification::Data, token, kRemoteKey, platform::Utf8ToWide(request)});
  };
  auto server = std::make_unique<CRemoteServer>(CRemoteServer::Limits{}, forward);
  std::string error;
  if (server->Start(RemoteSocketPath(m_options.profile), &error)) {
    m_remote = std::move(server);
  } else {
    // The browser works on without it; only other programs cannot reach it.
    Fail("no remote commands: " + error);
  }
  // The addresses of the command line open as other programs' do (token 0: no answer).
  for (const std::string& url : m_options.urls) forward(0, RemoteOpenRequest(url));
}

void CBrowserSession::CarryOutRemote(unsigned int token, const std::wstring& request) {
  std::string answer = m_shell->CallRemote(platform::WideToUtf8(request));
  if (token != 0 && m_remote) m_remote->Answer(token, std::move(answer));
}
