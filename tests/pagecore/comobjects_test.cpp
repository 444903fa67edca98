// The page and manager objects both engines hand to the host.
#include <gtest/gtest.h>

#include <memory>

#include "components/pagecore/comobjects.h"

namespace {

struct EnginePage {
  int disposed = 0;
  std::wstring lastOrder;
  HRESULT SendOrder(const wchar_t* text) {
    lastOrder = text ? text : L"";
    return S_OK;
  }
  HRESULT Subscribe(const wchar_t*, std::shared_ptr<INotifOrderStub>, uintptr_t* cookie) {
    if (cookie) *cookie = 7;
    return S_OK;
  }
  HRESULT SetData(const wchar_t*, const wchar_t*) { return E_INVALIDARG; }
  HRESULT GetData(const wchar_t*, wchar_t** value) {
    *value = nullptr;
    return S_FALSE;
  }
  HRESULT FreeData(wchar_t*) { return S_OK; }
  void Dispose() { ++disposed; }
};

class Manager final : public pagecore::CManagerObject<Manager> {
 public:
  explicit Manager(int* deleted) : m_deleted(deleted) {}
  ~Manager() override { ++*m_deleted; }
  HRESULT NewPage(void*, IWebPage**) override { return E_NOTIMPL; }
  HRESULT NewLinkPage(void*, IWebPage*, IWebPage**) override { return E_NOTIMPL; }

 private:
  int* m_deleted;
};

TEST(PageObjectTest, AnswersItsThreeInterfacesAndDisposesThePageOnTheLastRelease) {
  auto page = std::make_shared<EnginePage>();
  auto* object = new pagecore::CPageObject<EnginePage>(page);
  object->AddRef();
  void* out = nullptr;
  EXPECT_EQ(object->QueryInterface(IWebPageManager::iid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(object->QueryInterface(IWebPageData::iid, nullptr), E_POINTER);
  ASSERT_EQ(object->QueryInterface(IWebPageNotifier::iid, &out), S_OK);
  uintptr_t cookie = 0;
  EXPECT_EQ(static_cast<IWebPageNotifier*>(out)->Subscribe(L"X", nullptr, &cookie), S_OK);
  EXPECT_EQ(cookie, 7u);
  ASSERT_EQ(object->QueryInterface(IWebPage::iid, &out), S_OK);
  EXPECT_EQ(static_cast<IWebPage*>(out)->SendOrder(L"CMD=STOP\n"), S_OK);
  EXPECT_EQ(page->lastOrder, L"CMD=STOP\n");
  ASSERT_EQ(object->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(object->Release(), 3u);
  EXPECT_EQ(object->Release(), 2u);
  EXPECT_EQ(object->Release(), 1u);
  EXPECT_EQ(page->disposed, 0);
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(page->disposed, 1);
}

TEST(ManagerObjectTest, AnswersTheManagerInterfaceAndIsDeletedOnTheLastRelease) {
  int deleted = 0;
  auto* manager = new Manager(&deleted);
  manager->AddRef();
  void* out = nullptr;
  EXPECT_EQ(manager->QueryInterface(IWebPage::iid, &out), E_NOINTERFACE);
  ASSERT_EQ(manager->QueryInterface(IWebPageManager::iid, &out), S_OK);
  EXPECT_EQ(manager->Reserved(nullptr), E_NOTIMPL);
  EXPECT_EQ(manager->Release(), 1u);
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(manager->Release(), 0u);
  EXPECT_EQ(deleted, 1);
}

}  // namespace
