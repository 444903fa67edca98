#pragma once
// The values a host reads and sets by name on a page ("font.size", "TRAVELLOG_BACK",
// "TRAVELLOG_FORE"; "BLOCKEDCOUNT" read only), kept here for every engine: the text size, which outlives
// navigations and revivals, and the page's history as the engine last told it. Any
// thread: a host's GetData never waits for the engine's page thread.
#include <cstdint>
#include <memory>
#include <string>

#include "components/pagecore/tunables.h"
#include "components/webpage/eventhub.h"
#include "components/webpage/handedtexts.h"
#include "components/webpage/travellog.h"
#include "platform/mutex.h"
#include "uicontrol/interfaces/webpage.h"

namespace pagecore {

class CPageData {
 public:
  enum class Name { FontSize, TravelBack, TravelFore, BlockedCount, Unknown };
  static Name ReadName(const wchar_t* name);

  // Reads a SetData call: S_OK with the text size in *size, or E_INVALIDARG (logged under
  // `page`) for a name other than "font.size" or a size other than 0 to 4.
  static HRESULT ReadSetData(const std::string& page, const wchar_t* name, const wchar_t* value, uint32_t* size);

  void SetFontSize(uint32_t size);
  uint32_t FontSize() const;
  // The engine's history of the page; whether the page can go back and forward by it.
  void SetHistory(webpage::NavigationHistory history);
  webpage::NavigationHistory History() const;
  bool CanGoBack() const;
  bool CanGoForward() const;
  // Requests blocked since the page's document committed ("BLOCKEDCOUNT").
  void SetBlockedCount(uint32_t count);

  // GetData: a copy of the named value that the host gives back with Free. E_POINTER
  // without `value`, E_INVALIDARG (logged under `page`) for an unknown name.
  HRESULT Get(const std::string& page, const wchar_t* name, wchar_t** value);
  // FreeData: true when `value` was handed out here (and is freed now).
  bool Free(wchar_t* value) { return m_given.Take(value); }

 private:
  webpage::CHandedOutTexts m_given;
  mutable platform::CMutex m_mutex;
  uint32_t m_fontSize GUARDED_BY(m_mutex) = kDefaultFontSize;
  webpage::NavigationHistory m_history GUARDED_BY(m_mutex);
  uint32_t m_blocked GUARDED_BY(m_mutex) = 0;
};

// A host's Subscribe: E_INVALIDARG (logged under `page`) without a key or a sink; a key
// for which nothing is ever sent is accepted with a warning.
HRESULT SubscribeSink(webpage::CEventHub& hub, const std::string& page, const wchar_t* key,
                      std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie);

// The zoom a host may set for every page of a manager, in percent. A call of `caller`
// (SetWebPageZoom, SetWebKitPageZoom) for a manager of another component (`ours` false)
// or out of that range is refused with E_INVALIDARG and a log entry; S_OK otherwise.
inline constexpr unsigned int kMinZoom = 25, kMaxZoom = 500;
HRESULT CheckZoomCall(const char* caller, bool ours, unsigned int percent);

}  // namespace pagecore
