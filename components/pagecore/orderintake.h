#pragma once
// The host's orders as every engine takes them: read on the caller's thread, a bad one
// refused there (logged; a bad address also told as "NAVIGATEERROR" to a page that is
// open, so that the host's interface shows what became of it).
#include <functional>
#include <string>

#include "components/webpage/keyvaluetext.h"
#include "components/webpage/orders.h"
#include "uicontrol/com/qxcom.h"

namespace pagecore {

using EmitFunction = std::function<void(const wchar_t* key, const webpage::KeyValues& values)>;

// S_OK with *order set, or E_POINTER (null text) / E_INVALIDARG (a bad order). `open`:
// the page can still report (open, or being made).
HRESULT TakeOrder(const wchar_t* text, bool open, const std::string& name, const EmitFunction& emit,
                  webpage::Order* order);

}  // namespace pagecore
