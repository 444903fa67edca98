#include "host/pagezoom.h"

#include <cwctype>

#include "components/webpage/webpagemanager.h"

unsigned int ZoomPercentFromText(const std::wstring& text) {
  // Up to four digits: anything longer is out of range however it reads, and would not
  // fit an unsigned int. A text that is not a number becomes 0, which is refused.
  unsigned int percent = 0;
  if (!text.empty() && text.size() <= 4) {
    for (wchar_t c : text) {
      if (!std::iswdigit(c)) {
        percent = 0;
        break;
      }
      percent = percent * 10 + static_cast<unsigned int>(c - L'0');
    }
  }
  return percent;
}

void ApplyZoomText(IWebPageManager* pages, const std::wstring& text) {
  if (pages) SetWebPageZoom(pages, ZoomPercentFromText(text));
}

void ApplyStoredZoom(IDataAccessor* store, IWebPageManager* pages) {
  if (!store || !pages) return;
  wchar_t* text = nullptr;
  if (FAILED(store->GetData(L"page.size", &text)) || !text) return;
  std::wstring value = text;
  store->FreeData(text);
  if (!value.empty()) ApplyZoomText(pages, value);
}
