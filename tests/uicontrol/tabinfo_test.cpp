// The tab record on its own: identity, reference counting, copies, and its two lifetimes.
#include <gtest/gtest.h>

#include "doubles/fakewebpage.h"
#include "uicontrol/tabinfo.h"

using qxdk::UTIL::com_ptr;

namespace {

// A record holding a page whose release shows the record's destruction.
std::shared_ptr<CTabInfo> RecordWithPage(int* livePagesBefore) {
  *livePagesBefore = FakeWebPage::LiveCount();
  auto record = std::make_shared<CTabInfo>();
  record->SetWebPage(com_ptr<IWebPage>(new FakeWebPage()));
  return record;
}

}  // namespace

TEST(TabRecord, InitialValuesAndClearChche) {
  CTabInfo record;
  EXPECT_EQ(record.eTabSafeInfo, eTabSafeUnknown);
  EXPECT_EQ(record.uFontSize, 2u);
  EXPECT_EQ(record.eTabStatusInfo, eTabStatusNew);
  record.strTitle.Set(L"t");
  record.strIconPath.Set(L"i");
  record.strURL.Set(L"u");
  record.uProcent = 55;
  record.bDocumentComplete = 1;
  EXPECT_EQ(record.ClearChche(), 1);
  EXPECT_EQ(record.strTitle.Get(), L"");
  EXPECT_EQ(record.strIconPath.Get(), L"");
  EXPECT_EQ(record.bDocumentComplete, 0);
  EXPECT_EQ(record.strURL.Get(), L"u");
  EXPECT_EQ(record.uProcent, 55u);
  EXPECT_EQ(record.CreateSHowHideEvent(nullptr), 0);
}

TEST(TabRecord, QueryInterfaceAnswersTheSinkOnly) {
  CTabInfo* record = new CTabInfo();
  void* p = nullptr;
  EXPECT_EQ(record->QueryInterface(IID_IUnknown, &p), S_OK);
  EXPECT_EQ(p, static_cast<INotifOrderStub*>(record));
  void* q = nullptr;
  EXPECT_EQ(record->QueryInterface(IID_INotifySink, &q), S_OK);
  EXPECT_EQ(q, p);
  void* untouched = &p;
  EXPECT_EQ(record->QueryInterface(IWebPage::iid, &untouched), E_NOINTERFACE);
  EXPECT_EQ(untouched, &p);
  EXPECT_EQ(record->Release(), 1u);
  EXPECT_EQ(record->Release(), 0u);  // destroys the record (ASan would see a leak otherwise)
}

TEST(TabRecord, CopiesHoldTheirOwnPageReferences) {
  CTabInfo source;
  CTabInfo emptyCopy(source);
  EXPECT_FALSE(emptyCopy.spWebPage.Get());
  EXPECT_FALSE(emptyCopy.spPageNotifier.Get());

  com_ptr<FakeWebPage> page(new FakeWebPage());
  source.SetWebPage(com_ptr<IWebPage>(page.get()));
  com_ptr<IWebPageNotifier> notifier;
  com_ptr<IWebPage>(page.get()).QueryInterface(notifier);
  source.spPageNotifier.Set(notifier);
  notifier.reset();
  ULONG refs = page->RefCount();
  {
    CTabInfo copy(source);
    EXPECT_EQ(page->RefCount(), refs + 2);
    CTabInfo assigned;
    assigned = source;
    EXPECT_EQ(page->RefCount(), refs + 4);
  }
  EXPECT_EQ(page->RefCount(), refs);

  // A page that does not answer the notifier query leaves that field empty in the copy.
  page->answerNotifier = false;
  CTabInfo partial(source);
  EXPECT_TRUE(partial.spWebPage.Get());
  EXPECT_FALSE(partial.spPageNotifier.Get());
}

TEST(TabRecord, DestroyedOnceWhateverHoldsIt) {
  int before = 0;
  // Shared pointers only.
  {
    auto record = RecordWithPage(&before);
    EXPECT_EQ(FakeWebPage::LiveCount(), before + 1);
  }
  EXPECT_EQ(FakeWebPage::LiveCount(), before);

  // The count only: the last Release destroys a record that no shared pointer owns.
  {
    CTabInfo* record = new CTabInfo();
    record->SetWebPage(com_ptr<IWebPage>(new FakeWebPage()));
    EXPECT_EQ(record->AddRef(), 1u);
    EXPECT_EQ(record->AddRef(), 2u);
    EXPECT_EQ(record->Release(), 1u);
    EXPECT_EQ(FakeWebPage::LiveCount(), before + 1);
    EXPECT_EQ(record->Release(), 0u);
    EXPECT_EQ(FakeWebPage::LiveCount(), before);
  }

  // Both: a reference taken through the count outlives the shared owners.
  {
    auto record = RecordWithPage(&before);
    INotifOrderStub* sink = record.get();
    sink->AddRef();
    record.reset();
    EXPECT_EQ(FakeWebPage::LiveCount(), before + 1) << "the count keeps the record alive";
    sink->Release();
    EXPECT_EQ(FakeWebPage::LiveCount(), before);
  }

  // Both, the count returning to zero first: the shared owner still owns it.
  {
    auto record = RecordWithPage(&before);
    record->AddRef();
    record->Release();
    EXPECT_EQ(FakeWebPage::LiveCount(), before + 1);
    record->AddRef();  // and again after a return to zero
    record->Release();
    EXPECT_EQ(record->uFontSize, 2u);
  }
  EXPECT_EQ(FakeWebPage::LiveCount(), before);
}

TEST(TabRecord, SnapshotCopiesTheFourteenFields) {
  CTabInfo record;
  record.uID = 5;
  record.uParentID = 4;
  record.eTabStatusInfo = eTabStatusReady;
  record.eTabSafeInfo = eTabSafeBlocked;
  record.hWndWeb = HandleFromValue(9);
  record.uProcent = 30;
  record.bForwardEnable = true;
  record.strTitle.Set(L"title");
  record.strURL.Set(L"url");
  record.strIconPath.Set(L"icon");
  record.uFontSize = 3;
  record.uTickCount = 77;
  record.strStatText.Set(L"stat");
  CLuaTabInfo info;
  info = record;
  EXPECT_EQ(info.uID, 5u);
  EXPECT_EQ(info.uParentID, 4u);
  EXPECT_EQ(info.eTabStatusInfo, eTabStatusReady);
  EXPECT_EQ(info.eTabSafeInfo, eTabSafeBlocked);
  EXPECT_EQ(info.hWndWeb, HandleFromValue(9));
  EXPECT_EQ(info.uProcent, 30u);
  EXPECT_TRUE(info.bForwardEnable);
  EXPECT_FALSE(info.bBackwardEnable);
  EXPECT_EQ(info.strTitle, L"title");
  EXPECT_EQ(info.strURL, L"url");
  EXPECT_EQ(info.strIconPath, L"icon");
  EXPECT_EQ(info.uFontSize, 3u);
  EXPECT_EQ(info.uTickCount, 77u);
  EXPECT_EQ(info.strStatText, L"stat");
}

TEST(TabRecord, ACopyIsASnapshotItsCountNeverDeletes) {
  auto record = std::make_shared<CTabInfo>();
  record->strTitle.Set(L"kept");
  {
    CTabInfo copy(*record);  // as FindTabInfo hands it out: by value, on the stack
    void* sink = nullptr;
    ASSERT_EQ(copy.QueryInterface(IID_INotifySink, &sink), S_OK);
    EXPECT_EQ(static_cast<INotifOrderStub*>(sink)->Release(), 0u);  // must not free the stack
    EXPECT_EQ(copy.AddRef(), 1u);
    EXPECT_EQ(copy.Release(), 0u);
    EXPECT_EQ(copy.strTitle.Get(), L"kept");
  }
  EXPECT_EQ(record->strTitle.Get(), L"kept");
}
