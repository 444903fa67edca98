// The Chromium page: content blocking. Every request of the page waits in the Fetch
// domain until the page's content blocker has decided; element hiding goes into each
// frame's engine world as constructed style sheets (hidingscript.h).
#include "components/pagecore/contentblocking.h"
#include "components/webpage/browser.h"
#include "components/webpage/engine.h"
#include "components/webpage/hidingscript.h"
#include "components/webpage/pagecore.h"
#include "components/webpage/pagehelp.h"
#include "platform/threadcheck.h"

namespace webpage {

using namespace pagehelp;

Json FetchParams() { return Json{{"patterns", Json::array({Json{{"urlPattern", "*"}}})}}; }

Json AutoAttachParams() { return Json{{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}}; }

void CPageCore::SessionCommand(const std::string& sessionId, const std::string& method, Json params) {
  if (sessionId == m_sessionId) return Command(method, std::move(params));
  if (m_browser) m_browser->Connection()->Send(method, std::move(params), sessionId, nullptr);
}

void CPageCore::OnAttachedTarget(const Json& params) {
  const std::string sessionId = Text(params, "sessionId");
  if (sessionId.empty()) return;
  const Json& info = Field(params, "targetInfo");
  if (Text(info, "type") == "iframe" && CurrentState() == State::Open) {
    m_frameSessions[sessionId] = Text(info, "url");
    m_engine->AddFrameSession(sessionId, shared_from_this());
    // In order on the frame's session: its requests wait, its own frames attach, then it runs.
    SessionCommand(sessionId, "Fetch.enable", FetchParams());
    SessionCommand(sessionId, "Target.setAutoAttach", AutoAttachParams());
  }
  // Anything else (workers) just runs: the page's session sees what it loads.
  SessionCommand(sessionId, "Runtime.runIfWaitingForDebugger", Json::object());
}

void CPageCore::OnFrameSessionEvent(const std::string& sessionId, const std::string& method, const Json& params) {
  UICONTROL_CHECK_THREAD(m_engine->OnEngineThread());
  auto frame = m_frameSessions.find(sessionId);
  if (method == "Fetch.requestPaused") {
    return OnRequestPaused(params, sessionId, frame != m_frameSessions.end() ? frame->second : "");
  }
  if (method == "Target.attachedToTarget") return OnAttachedTarget(params);
  if (method == "Target.detachedFromTarget") {
    const std::string child = Text(params, "sessionId");
    m_frameSessions.erase(child);
    m_engine->RemoveFrameSession(child);
  }
}

pagecore::CContentBlocker* CPageCore::Blocker() const { return m_engine->Options().contentBlocker.get(); }

void CPageCore::NoteFrame(const std::string& method, const Json& params) {
  if (method == "Page.frameDetached") {
    const std::string id = Text(params, "frameId");
    m_frameUrls.erase(id);
    m_frameParents.erase(id);
    return;
  }
  const Json& frame = Field(params, "frame");
  const std::string id = Text(frame, "id");
  if (id.empty()) return;
  m_frameUrls[id] = Text(frame, "url");
  if (const std::string parent = Text(frame, "parentId"); !parent.empty()) m_frameParents[id] = parent;
}

std::string CPageCore::FrameUrl(const std::string& frameId) const {
  auto it = m_frameUrls.find(frameId);
  return it != m_frameUrls.end() ? it->second : Utf8(m_report.Url());
}

void CPageCore::OnRequestPaused(const Json& params, const std::string& sessionId, const std::string& frameDocument) {
  const std::string requestId = Text(params, "requestId");
  if (requestId.empty()) return;
  const pagecore::CContentBlocker* blocker = Blocker();
  const std::string url = Text(Field(params, "request"), "url");
  const std::string frame = Text(params, "frameId");
  const bool mainFrame = frame == m_targetId;
  const contentfilter::ResourceType type = pagecore::ResourceTypeOfDevTools(Text(params, "resourceType"), mainFrame);
  std::string documentUrl, pageUrl = Utf8(m_report.Url());
  if (type == contentfilter::ResourceType::Document) {
    pageUrl = url;  // a new top-level document: the site is the one it goes to
  } else if (type == contentfilter::ResourceType::Subdocument) {
    auto parent = m_frameParents.find(frame);
    documentUrl = parent != m_frameParents.end() ? FrameUrl(parent->second) : pageUrl;
  } else if (!frameDocument.empty()) {
    documentUrl = frameDocument;  // a frame in a process of its own
  } else {
    documentUrl = FrameUrl(frame);
  }
  std::string rule;
  if (CurrentState() == State::Open && blocker && blocker->Blocks(url, documentUrl, pageUrl, type, &rule)) {
    SessionCommand(sessionId, "Fetch.failRequest", Json{{"requestId", requestId}, {"errorReason", "BlockedByClient"}});
    m_report.CountBlocked();
    m_report.LogLine("blocked", LogLevel::Info, Describe() + ": blocked " + url + " (" + rule + ")");
    return;
  }
  SessionCommand(sessionId, "Fetch.continueRequest", Json{{"requestId", requestId}});
}

void CPageCore::InstallGenericHiding() {
  const pagecore::CContentBlocker* blocker = Blocker();
  if (m_genericHidingInstalled || !blocker) return;
  std::shared_ptr<const contentfilter::FilterSet> filters = blocker->Filters();
  if (!filters) return;  // not ready yet: tried again at the next navigation
  m_genericHidingInstalled = true;
  if (filters->GenericHidingStyleSheet().empty()) return;
  Command("Page.addScriptToEvaluateOnNewDocument",
          Json{{"source", GenericHidingScript(filters->GenericHidingStyleSheet(), m_engine->TrustedOrigins())},
               {"worldName", std::string(kEngineWorld)}});
}

void CPageCore::HideInDocument(long long context, const std::string& frameId) {
  const pagecore::CContentBlocker* blocker = Blocker();
  if (!blocker) return;
  auto it = m_frameUrls.find(frameId);
  if (it == m_frameUrls.end()) return;
  const std::string pageUrl = frameId == m_targetId ? it->second : Utf8(m_report.Url());
  const pagecore::CContentBlocker::Hiding hiding = blocker->HidingFor(it->second, pageUrl);
  // The generic sheet is in the document already wherever it belongs.
  if (hiding.own.empty() && (hiding.generic || !m_genericHidingInstalled)) return;
  Command("Runtime.evaluate", Json{{"expression", DocumentHidingScript(hiding.generic != nullptr, hiding.own)},
                                   {"contextId", context}});
}

}  // namespace webpage
