// Page events delivered to a tab record: any key (the nineteen the record handles, and
// others) with any text. The record must end up as reading the text with the full map
// parser says, forward every event unchanged, and write history entries of one line each.
//
// Input: events separated by NUL bytes, each "KEY<TAB>value". The first event's value,
// when its key is "URL", is the address the tab is opened with instead.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "fuzz/fuzzinput.h"
#include "fuzz/librarysession.h"
#include "tests/uicontrol/eventtext_oracle.h"

namespace {

class CAddDialog : public IAddFavoriteDlg, public CountedObject<CAddDialog> {
 public:
  HRESULT QueryInterface(const GUID&, void**) override { return E_NOINTERFACE; }
  DOUBLE_IUNKNOWN_REFCOUNT
  HRESULT ShowDialog(uint32_t parentId, HWND, int, int, int) override {
    lastParent = parentId;
    return S_OK;
  }
  uint32_t lastParent = 0;
};

class CEditDialog : public IEditFavoriteDlg, public CountedObject<CEditDialog> {
 public:
  HRESULT QueryInterface(const GUID&, void**) override { return E_NOINTERFACE; }
  DOUBLE_IUNKNOWN_REFCOUNT
  HRESULT ShowDialog(uint32_t parentId, uint32_t id, HWND, const wchar_t* title, const wchar_t* url, int) override {
    FUZZ_CHECK(title && url, "the edit dialog gets texts");
    last = {parentId, id, title, url};
    return S_OK;
  }
  struct Call {
    uint32_t parentId = 0, id = 0;
    std::wstring title, url;
  } last;
};

struct Forwarded {
  unsigned int id;
  std::wstring key, value;
};

// What the record holds once an event of `event` with `params` was handled.
void CheckRecord(CTabInfo& record, PageEvent event, const EventParams& params, const std::string& where) {
  switch (event) {
    case PageEvent::BeforeNavigate:
      FUZZ_CHECK(record.strTitle.Get().empty() && record.strIconPath.Get().empty(), where);
      break;
    case PageEvent::GoForwardState:
      FUZZ_CHECK(record.bForwardEnable == EventFlagValue(params, L"STATE"), where);
      break;
    case PageEvent::BackForwardState:
      FUZZ_CHECK(record.bBackwardEnable == EventFlagValue(params, L"STATE"), where);
      break;
    case PageEvent::ProgressChange:
      FUZZ_CHECK(record.uProcent == EventPercentValue(params, L"PERCENT"), where);
      break;
    case PageEvent::TitleChange: {
      FUZZ_CHECK(record.strURL.Get() == EventTextValue(params, L"URL"), where);
      const std::wstring sent = EventTextValue(params, L"TITLE");
      const std::wstring shown = record.strTitle.Get();
      // The shown title differs only by the registered sign and no-break spaces.
      FUZZ_CHECK(shown.find_first_of(L"\u00AE\u00A0") == std::wstring::npos, where);
      if (sent.find_first_of(L"\u00AE\u00A0") == std::wstring::npos) FUZZ_CHECK(shown == sent, where);
      break;
    }
    case PageEvent::IconChange:
      FUZZ_CHECK(record.strIconPath.Get() == EventTextValue(params, L"ICOURL"), where);
      break;
    case PageEvent::DocumentComplete:
      FUZZ_CHECK(record.uProcent == 100 && record.bDocumentComplete == 1, where);
      break;
    case PageEvent::ChildHandle:
      FUZZ_CHECK(record.hWndWeb.load() == HandleFromValue(EventNumberValue(params, L"HWND")), where);
      FUZZ_CHECK(record.eTabStatusInfo == eTabStatusReady, where);
      break;
    case PageEvent::BlockURLTouch:
      FUZZ_CHECK(record.eTabSafeInfo ==
                     (EventNumberValue(params, L"BLOCKURLSTAT") == 1 ? eTabSafeBlocked : eTabSafeNormal),
                 where);
      break;
    case PageEvent::ShowWindow:
      FUZZ_CHECK(record.bIsWndShow == (EventNumberValue(params, L"ISWNDSHOW") == 1 ? 1 : 0), where);
      break;
    case PageEvent::StatusTextChanged:
      FUZZ_CHECK(record.strStatText.Get() == EventTextValue(params, L"STATTEXT"), where);
      break;
    default:
      break;
  }
}

}  // namespace

FUZZ_TARGET(data, size) {
  std::vector<std::string> records = fuzz::Split(data, size, '\0');
  if (records.size() > 256) records.resize(256);

  fuzz::CLibrarySession session;
  qxdk::UTIL::com_ptr<CAddDialog> add(new CAddDialog());
  qxdk::UTIL::com_ptr<CEditDialog> edit(new CEditDialog());
  CTabManager::SetAddFavoriteDlg(add);
  CTabManager::SetEditFavoriteDlg(edit);
  std::mutex lock;
  std::vector<Forwarded> forwarded;
  CTabManager::RegisterNotify([&](unsigned int id, const wchar_t* key, const wchar_t* value) {
    std::lock_guard<std::mutex> guard(lock);
    forwarded.push_back({id, key ? key : L"", value ? value : L""});
  });

  std::wstring url = L"http://fuzz.test/";
  std::string key, value;
  fuzz::SplitOnce(records[0], '\t', &key, &value);
  if (key == "URL" && !value.empty()) {
    url = fuzz::Wide(value);
    records.erase(records.begin());
  }
  const unsigned int id = session.tm.AddTab(url, 0);
  session.Drain();
  std::shared_ptr<CTabInfo> record = id ? session.tm.FindTabInfoInternal(id) : nullptr;
  if (!record) {
    // Only addresses the library refuses give no tab; the event part then has nothing to do.
    return 0;
  }

  size_t expected = 0;
  {
    std::lock_guard<std::mutex> guard(lock);
    forwarded.clear();
  }
  for (const std::string& text : records) {
    fuzz::SplitOnce(text, '\t', &key, &value);
    const std::wstring wideKey = fuzz::Wide(key);
    const std::wstring wideValue = fuzz::Wide(value);
    const std::string where = "event " + fuzz::Show(wideKey) + " \"" + fuzz::Show(wideValue) + "\"";
    const PageEvent event = LookupPageEvent(wideKey.c_str());
    const EventParams params = ParseEventText(wideValue.c_str());
    // A title change that changes neither the stored title nor the address is not passed on.
    const bool unchanged = event == PageEvent::TitleChange && record->strURL.Get() == EventTextValue(params, L"URL") &&
                           record->strTitle.Get() == EventTextValue(params, L"TITLE");
    record->NotifyOrder(wideKey.c_str(), wideValue.c_str(), 0);
    CheckRecord(*record, event, params, where);
    if (!unchanged) ++expected;
    std::lock_guard<std::mutex> guard(lock);
    FUZZ_CHECK(forwarded.size() == expected, where);
    if (unchanged) continue;
    const Forwarded& last = forwarded.back();
    // Keys and values reach the user interface as they came (up to their first NUL).
    FUZZ_CHECK(last.id == id && last.key == wideKey.c_str() && last.value == wideValue.c_str(), where);
  }
  session.Drain();

  // A history entry is one key=value text of four single-line entries.
  for (const StoreCall& call : session.store->CallsNamed(L"add_his")) {
    const EventParams entry = ParseEventText(call.text.c_str());
    size_t lines = 0;
    for (wchar_t c : call.text) lines += c == L'\n';
    FUZZ_CHECK(lines == 4 && entry.size() == 4 && entry.count(L"title") && entry.count(L"url") &&
                   entry.count(L"icon") && entry.count(L"date"),
               fuzz::Show(call.text));
  }
  CTabManager::RegisterNotify(nullptr);
  return 0;
}
