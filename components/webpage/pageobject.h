#pragma once
// The component objects the host holds: the page (IWebPage, IWebPageNotifier,
// IWebPageData) and the manager (IWebPageManager).
#include <memory>

#include "uicontrol/interfaces/webpage.h"

namespace webpage {

class CPageCore;
class CPageEngine;

class CWebPage final : public IWebPage, public IWebPageNotifier, public IWebPageData, public qxcom::CUnknownImp {
 public:
  explicit CWebPage(std::shared_ptr<CPageCore> core);
  ~CWebPage() override;

  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT SendOrder(const wchar_t* order) override;
  HRESULT Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) override;
  HRESULT SetData(const wchar_t* name, const wchar_t* value) override;
  HRESULT GetData(const wchar_t* name, wchar_t** value) override;
  HRESULT FreeData(wchar_t* value) override;

  const std::shared_ptr<CPageCore>& Core() const { return m_core; }

 private:
  const std::shared_ptr<CPageCore> m_core;
};

class CWebPageManager final : public IWebPageManager, public qxcom::CUnknownImp {
 public:
  explicit CWebPageManager(std::shared_ptr<CPageEngine> engine);
  ~CWebPageManager() override;

  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT NewPage(void* reserved, IWebPage** page) override;
  HRESULT Reserved(void* reserved) override;
  HRESULT NewLinkPage(void* reserved, IWebPage* parent, IWebPage** page) override;

  const std::shared_ptr<CPageEngine>& Engine() const { return m_engine; }

 private:
  const std::shared_ptr<CPageEngine> m_engine;
};

}  // namespace webpage
