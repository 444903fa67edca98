#include "uicontrol/storetext.h"

#include <climits>
#include <cwctype>

using qxdk::UTIL::com_ptr;

bool QueryStoreText(IDataAccessorII* store, const wchar_t* name, const std::wstring& parameters, std::wstring* text,
                    bool* hadText) {
  text->clear();
  if (hadText) *hadText = false;
  if (!store) return false;
  com_ptr<IDataHolder> spHolder;
  store->QueryData(name, parameters.c_str(), &spHolder);
  if (!spHolder) return false;
  const wchar_t* result = nullptr;
  spHolder->GetText(&result);
  if (result) {
    *text = result;
    if (hadText) *hadText = true;
  }
  return true;
}

int LeadingDecimal(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}
