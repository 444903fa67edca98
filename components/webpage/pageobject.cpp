#include "components/webpage/pageobject.h"

#include <chrono>
#include <future>

#include "components/webpage/engine.h"
#include "components/webpage/pagecore.h"
#include "components/webpage/weblog.h"

namespace webpage {

CWebPage::CWebPage(std::shared_ptr<CPageCore> core) : m_core(std::move(core)) {}

CWebPage::~CWebPage() { m_core->Dispose(); }

HRESULT CWebPage::QueryInterface(const GUID& riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IWebPage::iid) {
    *ppv = static_cast<IWebPage*>(this);
  } else if (riid == IWebPageNotifier::iid) {
    *ppv = static_cast<IWebPageNotifier*>(this);
  } else if (riid == IWebPageData::iid) {
    *ppv = static_cast<IWebPageData*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CWebPage::AddRef() { return static_cast<ULONG>(InternalAddRef()); }

ULONG CWebPage::Release() {
  int32_t count = InternalRelease();
  if (count == 0) delete this;
  return static_cast<ULONG>(count < 0 ? 0 : count);
}

HRESULT CWebPage::SendOrder(const wchar_t* order) { return m_core->SendOrder(order); }

HRESULT CWebPage::Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) {
  return m_core->Subscribe(key, std::move(sink), cookie);
}

HRESULT CWebPage::SetData(const wchar_t* name, const wchar_t* value) { return m_core->SetData(name, value); }
HRESULT CWebPage::GetData(const wchar_t* name, wchar_t** value) { return m_core->GetData(name, value); }
HRESULT CWebPage::FreeData(wchar_t* value) { return m_core->FreeData(value); }

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

HRESULT CWebPageManager::QueryInterface(const GUID& riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IWebPageManager::iid) return E_NOINTERFACE;
  *ppv = static_cast<IWebPageManager*>(this);
  AddRef();
  return S_OK;
}

ULONG CWebPageManager::AddRef() { return static_cast<ULONG>(InternalAddRef()); }

ULONG CWebPageManager::Release() {
  int32_t count = InternalRelease();
  if (count == 0) delete this;
  return static_cast<ULONG>(count < 0 ? 0 : count);
}

HRESULT CWebPageManager::NewPage(void*, IWebPage** page) {
  if (!page) return E_POINTER;
  *page = nullptr;
  return m_engine->NewPage(page);
}

HRESULT CWebPageManager::Reserved(void*) { return E_NOTIMPL; }

HRESULT CWebPageManager::NewLinkPage(void*, IWebPage* parent, IWebPage** page) {
  if (!page) return E_POINTER;
  *page = nullptr;
  return m_engine->NewLinkPage(parent, page);
}

}  // namespace webpage

HRESULT SetWebPageZoom(IWebPageManager* manager, unsigned int percent) {
  auto* ours = dynamic_cast<webpage::CWebPageManager*>(manager);
  if (!ours) {
    webpage::LogWarning("SetWebPageZoom: not a manager of this component");
    return E_INVALIDARG;
  }
  if (percent < 25 || percent > 500) {
    webpage::LogWarning("SetWebPageZoom: the zoom must be 25 to 500 %, not " + std::to_string(percent));
    return E_INVALIDARG;
  }
  ours->Engine()->SetZoom(percent);
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
