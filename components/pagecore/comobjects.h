#pragma once
// The objects the host holds, for every page engine: a page (IWebPage, IWebPageNotifier,
// IWebPageData) in front of an engine's page, and the base of a manager
// (IWebPageManager). Interface lookup and reference counting live here only.
#include <memory>

#include "uicontrol/interfaces/webpage.h"

namespace pagecore {

// The count after a release; the object is deleted when it reaches zero.
template <class Object>
ULONG ReleaseObject(Object* object, int32_t count) {
  if (count == 0) delete object;
  return static_cast<ULONG>(count < 0 ? 0 : count);
}

// `EnginePage` offers SendOrder, Subscribe, SetData, GetData, FreeData and Dispose (the host let
// the page go: called when the last reference is released).
template <class EnginePage>
class CPageObject final : public IWebPage, public IWebPageNotifier, public IWebPageData, public qxcom::CUnknownImp {
 public:
  explicit CPageObject(std::shared_ptr<EnginePage> page) : m_page(std::move(page)) {}
  ~CPageObject() override { m_page->Dispose(); }

  HRESULT QueryInterface(const GUID& riid, void** ppv) override {
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
  ULONG AddRef() override { return static_cast<ULONG>(InternalAddRef()); }
  ULONG Release() override { return ReleaseObject(this, InternalRelease()); }

  HRESULT SendOrder(const wchar_t* order) override { return m_page->SendOrder(order); }
  HRESULT Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) override {
    return m_page->Subscribe(key, std::move(sink), cookie);
  }
  HRESULT SetData(const wchar_t* name, const wchar_t* value) override { return m_page->SetData(name, value); }
  HRESULT GetData(const wchar_t* name, wchar_t** value) override { return m_page->GetData(name, value); }
  HRESULT FreeData(wchar_t* value) override { return m_page->FreeData(value); }

  const std::shared_ptr<EnginePage>& Page() const { return m_page; }

 private:
  const std::shared_ptr<EnginePage> m_page;
};

// A manager's IUnknown; an engine's manager (`Derived`) adds NewPage and NewLinkPage.
template <class Derived>
class CManagerObject : public IWebPageManager, public qxcom::CUnknownImp {
 public:
  HRESULT QueryInterface(const GUID& riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IWebPageManager::iid) return E_NOINTERFACE;
    *ppv = static_cast<IWebPageManager*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return static_cast<ULONG>(InternalAddRef()); }
  ULONG Release() override { return ReleaseObject(static_cast<Derived*>(this), InternalRelease()); }
  // Slot 4 of the interface is never called.
  HRESULT Reserved(void*) override { return E_NOTIMPL; }
};

}  // namespace pagecore
