#pragma once
// The result of one query: a text that stays valid while the holder is held.
#include <string>

#include "uicontrol/interfaces/dataaccessor.h"

namespace datastore {

class CDataHolder final : public IDataHolder, public qxcom::CUnknownImp {
 public:
  // Returns a new holder with one reference that the caller owns.
  static IDataHolder* Create(std::wstring text);

  HRESULT QueryInterface(const GUID& riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetText(const wchar_t** text) override;

 private:
  explicit CDataHolder(std::wstring text) : m_strText(std::move(text)) {}

  const std::wstring m_strText;
};

}  // namespace datastore
