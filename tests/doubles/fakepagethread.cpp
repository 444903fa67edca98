#include "doubles/fakepagethread.h"

#include "uicontrol/interfaces/notifystub.h"

namespace {

// Every key the page core reports.
const wchar_t* const kKeys[] = {L"BEFORENAVIGATE",        L"PROGRESSCHANGE",       L"NAVIGATECOMPLETE",
                                L"DOCUMENTCOMPLETE",      L"NAVIGATEERROR",        L"TITLECHANGE",
                                L"ICONCHANGE",            L"STATEXTCHANGED",       L"BACKFORWARDSTATECHANGE",
                                L"GOFORWARDSTATECHANGE",  L"CLOSEWNDNOTIFTY",      L"SHOWADDFAVWND",
                                L"SHOWEDITFAVWND",        L"POPBLOCK",             L"ORDERUNSUPPORTED",
                                L"BLOCKEDCOUNT"};

}  // namespace

class FakePageThread::Recorder : public INotifOrderStub {
 public:
  HRESULT QueryInterface(const GUID&, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT NotifyOrder(const wchar_t* key, const wchar_t* value, int) override {
    events.push_back({key ? key : L"", value ? value : L""});
    return S_OK;
  }
  HRESULT CreateSHowHideEvent(HWND) override { return S_OK; }

  std::vector<Event> events;
};

FakePageThread::FakePageThread()
    : m_recorder(std::make_shared<Recorder>()),
      m_hub(std::make_shared<webpage::CEventHub>(
          [](std::function<void()> task) {
            task();
            return true;
          },
          [] { return true; })) {
  for (const wchar_t* key : kKeys) m_hub->Subscribe(key, m_recorder);
}

FakePageThread::~FakePageThread() { m_hub->ReleaseSinks(); }

pagecore::CPageReport::Hooks FakePageThread::Hooks(std::chrono::milliseconds loadTimeout) {
  pagecore::CPageReport::Hooks hooks;
  hooks.hub = m_hub;
  hooks.runLater = [this](std::chrono::milliseconds delay, std::function<void()> task) {
    m_tasks.emplace(m_now + delay, std::move(task));
  };
  hooks.onThread = [] { return true; };
  hooks.now = [this] { return m_now; };
  hooks.loadTimeout = loadTimeout;
  hooks.stopLoading = [this] { ++m_stops; };
  hooks.name = "fake page";
  return hooks;
}

void FakePageThread::Advance(std::chrono::milliseconds by) {
  const webpage::SteadyTime until = m_now + by;
  while (!m_tasks.empty() && m_tasks.begin()->first <= until) {
    auto next = m_tasks.begin();
    m_now = next->first;
    std::function<void()> task = std::move(next->second);
    m_tasks.erase(next);
    task();
  }
  m_now = until;
}

const std::vector<FakePageThread::Event>& FakePageThread::Events() const { return m_recorder->events; }

std::vector<std::wstring> FakePageThread::Keys() const {
  std::vector<std::wstring> keys;
  for (const Event& event : m_recorder->events) keys.push_back(event.key);
  return keys;
}

std::vector<std::wstring> FakePageThread::Lines() const {
  std::vector<std::wstring> lines;
  for (const Event& event : m_recorder->events) {
    std::wstring value = event.value;
    while (!value.empty() && value.back() == L'\n') value.pop_back();
    for (wchar_t& c : value) {
      if (c == L'\n') c = L'|';
    }
    lines.push_back(event.key + L" " + value);
  }
  return lines;
}
