// The host's side of a page: calls from any thread, checked there and handed to the GTK
// thread in the order they came.
#include <cwchar>

#include "components/pagecore/orderintake.h"
#include "components/webkitpage/gtktimer.h"
#include "components/webkitpage/kitpage.h"
#include "components/webpage/weblog.h"
#include "components/webpage/pageoutcomes.h"
#include "platform/gtk/gtkthread.h"
#include "platform/text.h"
#include "platform/window.h"

namespace webkitpage {
namespace {

using webpage::LogInfo;
using webpage::LogWarning;

std::string Utf8(const std::wstring& text) { return platform::WideToUtf8(text); }

std::atomic<unsigned long> g_pageCount{0};

}  // namespace

CKitPage::CKitPage(std::shared_ptr<CKitContext> context, WebKitWebView* popup, bool openedByPage)
    : m_context(std::move(context)),
      m_hwnd(platform::CreateWindowHandle()),
      m_openedByPage(openedByPage),
      m_hub(std::make_shared<webpage::CEventHub>(
          [](std::function<void()> task) {
            platform::gtk::PostToGtkThread(std::move(task));
            return true;
          },
          [] { return platform::gtk::IsGtkThread(); })),
      m_serial(++g_pageCount),
      m_crashes(m_context->Options().crashWindow),
      m_web(popup),
      m_report(ReportHooks()) {}

pagecore::CPageReport::Hooks CKitPage::ReportHooks() {
  pagecore::CPageReport::Hooks hooks;
  hooks.hub = m_hub;
  hooks.runLater = [this](std::chrono::milliseconds delay, std::function<void()> task) {
    std::weak_ptr<CKitPage> weak = weak_from_this();
    RunAfter(delay, [weak, task = std::move(task)] {
      auto self = weak.lock();
      if (self && self->CurrentState() == State::Open) task();
    });
  };
  hooks.onThread = [] { return platform::gtk::IsGtkThread(); };
  hooks.loadTimeout = m_context->Options().navigationTimeout;
  hooks.stopLoading = [this] {
    m_load.cancelled = true;
    if (m_web) webkit_web_view_stop_loading(m_web);
  };
  hooks.name = Describe();
  hooks.blockedCountChanged = [this](uint32_t count) { m_data.SetBlockedCount(count); };
  return hooks;
}

CKitPage::~CKitPage() {
  platform::DestroyWindowHandle(m_hwnd);
}

std::string CKitPage::Describe() const { return "page " + std::to_string(m_serial.load()); }

void CKitPage::Emit(const wchar_t* key, const KeyValues& values) {
  m_hub->Emit(key, webpage::WriteKeyValueText(values));
}

void CKitPage::Start() {
  pagecore::AnnounceView(*this, m_hwnd);
  std::shared_ptr<CKitPage> self = shared_from_this();
  platform::gtk::PostToGtkThread([self] { self->CreateView(); });
}

void CKitPage::Dispose() {
  if (CurrentState() == State::Closed) return;
  std::shared_ptr<CKitPage> self = shared_from_this();
  platform::gtk::PostToGtkThread([self] { self->Close(false); });
}

HRESULT CKitPage::SendOrder(const wchar_t* text) {
  Order order;
  auto emit = [this](const wchar_t* key, const KeyValues& values) { Emit(key, values); };
  const HRESULT taken = pagecore::TakeOrder(text, CurrentState() == State::Open, Describe(), emit, &order);
  return taken == S_OK ? Submit(order) : taken;
}

HRESULT CKitPage::Submit(const Order& order) {
  if (m_context->IsShutDown()) {
    LogWarning(Describe() + ": order " + Utf8(order.name) + " dropped: the page manager has been released");
    return E_FAIL;
  }
  // A web process that keeps dying is started again only when the user asks for a page.
  const State state = CurrentState();
  if (pagecore::AlreadyStopped(order, state == State::Crashed, Describe())) return S_OK;
  if (!pagecore::MaySubmit(order, state == State::Closed, state == State::Crashed, m_crashes,
                           m_context->Options().crashLimit, *this))
    return E_FAIL;
  std::shared_ptr<CKitPage> self = shared_from_this();
  platform::gtk::PostToGtkThread([self, order] { self->Execute(order); });
  return S_OK;
}

HRESULT CKitPage::Subscribe(const wchar_t* key, std::shared_ptr<INotifOrderStub> sink, uintptr_t* cookie) {
  return pagecore::SubscribeSink(*m_hub, Describe(), key, std::move(sink), cookie);
}

HRESULT CKitPage::SetData(const wchar_t* name, const wchar_t* value) {
  uint32_t size = 0;
  if (HRESULT read = pagecore::CPageData::ReadSetData(Describe(), name, value, &size); read != S_OK) return read;
  m_data.SetFontSize(size);
  if (CurrentState() == State::Closed) return S_OK;
  std::shared_ptr<CKitPage> self = shared_from_this();
  platform::gtk::PostToGtkThread([self, size] { self->ApplyFontSize(size); });
  return S_OK;
}

HRESULT CKitPage::GetData(const wchar_t* name, wchar_t** value) {
  // Kept up to date by the GTK thread: answered without waiting for it.
  return m_data.Get(Describe(), name, value);
}

HRESULT CKitPage::FreeData(wchar_t* value) {
  if (!value) return S_OK;
  if (m_data.Free(value)) return S_OK;
  webpage::LogError(Describe() + ": FreeData of a text this page did not give out");
  return E_INVALIDARG;
}

WebKitWebView* CKitPage::TakePopup() {
  WebKitWebView* view = nullptr;
  return m_popups.TakeOldest(&view) ? view : nullptr;
}

}  // namespace webkitpage
