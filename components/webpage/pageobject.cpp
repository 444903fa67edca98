#include "components/pagecore/pagedata.h"
#include "components/webpage/pageobject.h"

#include <chrono>
#include <future>

#include "components/webpage/engine.h"
#include "components/webpage/pagecore.h"
#include "components/webpage/weblog.h"

namespace webpage {

CWebPageManager::CWebPageManager(std::shared_ptr<CPageEngine> engine) : m_engine(std::move(engine)) {}

CWebPageManager::~CWebPageManager() {
  // Orders sent before the release are carried out first (a tab closed at the host's exit
  // is kept for recovery by its ClOSETAB), unless the engine is stuck for long.
  if (!m_engine->OnEngineThread()) {
    auto drained = std::make_shared<std::promise<void>>();
    std::future<void> done = drained->get_future();
    if (m_engine->Post([drained] { drained->set_value(); })) done.wait_for(std::chrono::seconds(10));
  }
  m_engine->Shutdown();
}

HRESULT CWebPageManager::NewPage(void*, IWebPage** page) {
  if (!page) return E_POINTER;
  *page = nullptr;
  return m_engine->NewPage(page);
}

HRESULT CWebPageManager::NewLinkPage(void*, IWebPage* parent, IWebPage** page) {
  if (!page) return E_POINTER;
  *page = nullptr;
  return m_engine->NewLinkPage(parent, page);
}

}  // namespace webpage

HRESULT SetWebPageZoom(IWebPageManager* manager, unsigned int percent) {
  auto* ours = dynamic_cast<webpage::CWebPageManager*>(manager);
  const HRESULT checked = pagecore::CheckZoomCall("SetWebPageZoom", ours != nullptr, percent);
  if (checked == S_OK) ours->Engine()->SetZoom(percent);
  return checked;
}

HRESULT StartWebPageBrowser(IWebPageManager* manager) {
  auto* ours = dynamic_cast<webpage::CWebPageManager*>(manager);
  if (!ours) {
    webpage::LogWarning("StartWebPageBrowser: not a manager of this component");
    return E_INVALIDARG;
  }
  ours->Engine()->StartAhead();
  return S_OK;
}

HRESULT CreateWebPageManager(const WebPageOptions& options, IWebPageManager** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::shared_ptr<webpage::CPageEngine> engine = webpage::CPageEngine::Create(options);
  if (!engine) return E_FAIL;
  auto* manager = new webpage::CWebPageManager(std::move(engine));
  manager->AddRef();
  *out = manager;
  return S_OK;
}
