#include "components/pagecore/orderintake.h"

#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace pagecore {

HRESULT TakeOrder(const wchar_t* text, bool open, const std::string& name, const EmitFunction& emit,
                  webpage::Order* order) {
  std::string error;
  if (webpage::ParseOrder(text, order, &error)) return S_OK;
  webpage::LogWarning(name + ": order refused: " + error);
  if (text && open && (error.rfind("NAVIGATE", 0) == 0 || error.rfind("RECOVERWND", 0) == 0))
    emit(L"NAVIGATEERROR", {{L"ERROR", platform::Utf8ToWide(error)}, {L"STATUS", L"0"}, {L"URL", L""}});
  return text ? E_INVALIDARG : E_POINTER;
}

}  // namespace pagecore
