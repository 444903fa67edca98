#include "host/hostdialogs.h"

#include <atomic>
#include <string>

#include "uicontrol/interfaces/keyvalue.h"

namespace {

template <class Interface>
class CQueueDialog : public Interface {
 public:
  explicit CQueueDialog(CNotificationQueue& queue) : m_queue(queue) {}
  virtual ~CQueueDialog() = default;
  HRESULT QueryInterface(const GUID& riid, void** ppv) override {
    if (riid != IID_IUnknown && riid != Interface::iid) return E_NOINTERFACE;
    *ppv = static_cast<Interface*>(this);
    this->AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_count; }
  ULONG Release() override {
    ULONG count = --m_count;
    if (count == 0) delete this;
    return count;
  }

 protected:
  CNotificationQueue& m_queue;

 private:
  std::atomic<ULONG> m_count{1};
};

class CAddDialog : public CQueueDialog<IAddFavoriteDlg> {
 public:
  using CQueueDialog::CQueueDialog;
  HRESULT ShowDialog(uint32_t uParentId, HWND, int, int, int) override {
    m_queue.Push({HostNotification::Data, 0, L"ShowAddFavoriteDialog",
                  keyvalue::WriteSanitized({{L"pid", std::to_wstring(uParentId)}})});
    return S_OK;
  }
};

class CEditDialog : public CQueueDialog<IEditFavoriteDlg> {
 public:
  using CQueueDialog::CQueueDialog;
  HRESULT ShowDialog(uint32_t uParentId, uint32_t uFavoriteId, HWND, const wchar_t* title, const wchar_t* url,
                     int) override {
    // The title and address come from a page: whatever they hold, they stay on their lines.
    m_queue.Push({HostNotification::Data, 0, L"ShowEditFavoriteDialog",
                  keyvalue::WriteSanitized({{L"id", std::to_wstring(uFavoriteId)},
                                            {L"pid", std::to_wstring(uParentId)},
                                            {L"title", title ? title : L""},
                                            {L"url", url ? url : L""}})});
    return S_OK;
  }
};

}  // namespace

IAddFavoriteDlg* CreateAddFavoriteDialog(CNotificationQueue& queue) { return new CAddDialog(queue); }
IEditFavoriteDlg* CreateEditFavoriteDialog(CNotificationQueue& queue) { return new CEditDialog(queue); }
