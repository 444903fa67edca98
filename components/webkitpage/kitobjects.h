#pragma once
// The objects the host holds: a page (IWebPage, IWebPageNotifier, IWebPageData) and the
// manager (IWebPageManager).
#include <memory>

#include "components/webkitpage/kitcontext.h"
#include "components/webkitpage/kitpage.h"
#include "uicontrol/interfaces/webpage.h"

namespace webkitpage {

class CKitPageObject final : public IWebPage, public IWebPageNotifier, public IWebPageData, public qxcom::CUnknownImp {
 public:
  explicit CKitPageObject(std::shared_ptr<CKitPage> page) : m_page(std::move(page)) {}
  ~CKitPageObject() override { m_page->Dispose(); }

  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT SendOrder(const wchar_t* order) override { return m_page->SendOrder(order); }
  HRESULT Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) override {
    return m_page->Subscribe(key, std::move(sink), cookie);
  }
  HRESULT SetData(const wchar_t* name, const wchar_t* value) override { return m_page->SetData(name, value); }
  HRESULT GetData(const wchar_t* name, wchar_t** value) override { return m_page->GetData(name, value); }
  HRESULT FreeData(wchar_t* value) override { return m_page->FreeData(value); }

  const std::shared_ptr<CKitPage>& Page() const { return m_page; }

 private:
  const std::shared_ptr<CKitPage> m_page;
};

class CKitManagerObject final : public IWebPageManager, public qxcom::CUnknownImp {
 public:
  explicit CKitManagerObject(std::shared_ptr<CKitContext> context) : m_context(std::move(context)) {}
  ~CKitManagerObject() override { m_context->Shutdown(); }

  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT NewPage(void* reserved, IWebPage** page) override;
  HRESULT Reserved(void*) override { return E_NOTIMPL; }
  HRESULT NewLinkPage(void* reserved, IWebPage* parent, IWebPage** page) override;

  const std::shared_ptr<CKitContext>& Context() const { return m_context; }

 private:
  HRESULT Make(WebKitWebView* popup, IWebPage** page);

  const std::shared_ptr<CKitContext> m_context;
};

}  // namespace webkitpage
