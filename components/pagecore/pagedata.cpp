#include "components/pagecore/pagedata.h"

#include "components/webpage/orders.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace pagecore {
namespace {

std::string Shown(const wchar_t* text) { return text ? platform::WideToUtf8(text) : std::string("(null)"); }

bool Forward(const webpage::NavigationHistory& history) {
  return history.current >= 0 && history.current + 1 < static_cast<int>(history.entries.size());
}

}  // namespace

CPageData::Name CPageData::ReadName(const wchar_t* name) {
  const std::wstring key = name ? name : L"";
  if (key == L"font.size") return Name::FontSize;
  if (key == L"TRAVELLOG_BACK") return Name::TravelBack;
  if (key == L"TRAVELLOG_FORE") return Name::TravelFore;
  if (key == L"BLOCKEDCOUNT") return Name::BlockedCount;
  return Name::Unknown;
}

HRESULT CPageData::ReadSetData(const std::string& page, const wchar_t* name, const wchar_t* value, uint32_t* size) {
  if (ReadName(name) != Name::FontSize) {
    webpage::LogWarning(page + ": SetData of unknown name \"" + Shown(name) + "\"");
    return E_INVALIDARG;
  }
  if (!webpage::ParseFontSize(value, size)) {
    webpage::LogWarning(page + ": font.size must be 0 to 4, not \"" + Shown(value) + "\"");
    return E_INVALIDARG;
  }
  return S_OK;
}

void CPageData::SetFontSize(uint32_t size) {
  platform::CMutexLock guard(m_mutex);
  m_fontSize = size;
}

uint32_t CPageData::FontSize() const {
  platform::CMutexLock guard(m_mutex);
  return m_fontSize;
}

void CPageData::SetHistory(webpage::NavigationHistory history) {
  platform::CMutexLock guard(m_mutex);
  m_history = std::move(history);
}

webpage::NavigationHistory CPageData::History() const {
  platform::CMutexLock guard(m_mutex);
  return m_history;
}

bool CPageData::CanGoBack() const {
  platform::CMutexLock guard(m_mutex);
  return m_history.current > 0;
}

bool CPageData::CanGoForward() const {
  platform::CMutexLock guard(m_mutex);
  return Forward(m_history);
}

void CPageData::SetBlockedCount(uint32_t count) {
  platform::CMutexLock guard(m_mutex);
  m_blocked = count;
}

HRESULT CPageData::Get(const std::string& page, const wchar_t* name, wchar_t** value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  std::wstring text;
  const Name which = ReadName(name);
  {
    platform::CMutexLock guard(m_mutex);
    switch (which) {
      case Name::FontSize: text = std::to_wstring(m_fontSize); break;
      case Name::TravelBack: text = webpage::BuildBackTravelLog(m_history); break;
      case Name::TravelFore: text = webpage::BuildForeTravelLog(m_history); break;
      case Name::BlockedCount: text = std::to_wstring(m_blocked); break;
      case Name::Unknown: break;
    }
  }
  if (which == Name::Unknown) {
    webpage::LogWarning(page + ": GetData of unknown name \"" + (name ? platform::WideToUtf8(name) : std::string()) + "\"");
    return E_INVALIDARG;
  }
  *value = m_given.Give(text);
  return S_OK;
}

HRESULT SubscribeSink(webpage::CEventHub& hub, const std::string& page, const wchar_t* key,
                      std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) {
  if (cookie) *cookie = 0;
  if (!key || !*key || !sink) {
    webpage::LogWarning(page + ": Subscribe needs a key and a sink");
    return E_INVALIDARG;
  }
  if (!webpage::CEventHub::IsKnown(key)) {
    webpage::LogWarning(page + ": nothing is ever sent for \"" + platform::WideToUtf8(key) + "\"");
  }
  const uintptr_t given = hub.Subscribe(key, std::move(sink));
  if (cookie) *cookie = given;
  return S_OK;
}

HRESULT CheckZoomCall(const char* caller, bool ours, unsigned int percent) {
  if (!ours) {
    webpage::LogWarning(std::string(caller) + ": not a manager of this component");
    return E_INVALIDARG;
  }
  if (percent >= kMinZoom && percent <= kMaxZoom) return S_OK;
  webpage::LogWarning(std::string(caller) + ": " + std::to_string(percent) + " is not a zoom from 25 to 500");
  return E_INVALIDARG;
}

}  // namespace pagecore
