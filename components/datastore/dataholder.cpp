#include "components/datastore/dataholder.h"

namespace datastore {

IDataHolder* CDataHolder::Create(std::wstring text) {
  CDataHolder* holder = new CDataHolder(std::move(text));
  holder->AddRef();
  return holder;
}

HRESULT CDataHolder::QueryInterface(const GUID& riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IDataHolder::iid) {
    *ppv = static_cast<IDataHolder*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG CDataHolder::AddRef() { return static_cast<ULONG>(InternalAddRef()); }

ULONG CDataHolder::Release() {
  const int32_t count = InternalRelease();
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT CDataHolder::GetText(const wchar_t** text) {
  if (!text) return E_POINTER;
  *text = m_strText.c_str();
  return S_OK;
}

}  // namespace datastore
