// The recover list read the way the library reads it: a count, then uuid, title and url
// per hexadecimal index.
#include "store_fixture.h"

namespace dstest {
namespace {

class RecoverTest : public StoreTest {
 protected:
  HRESULT Save(int n) {
    const std::wstring k = std::to_wstring(n);
    return Set(L"save.recover.tab", Params({{L"title", L"tab " + k}, {L"url", L"http://t/" + k}, {L"uuid", L"u" + k}}));
  }
  std::optional<std::wstring> Field(const std::wstring& id, const std::wstring& key) {
    return Query(L"get.recover.index.value", L"id=" + id + L"\nkey=" + key + L"\n");
  }
};

TEST_F(RecoverTest, NewestFirstWithHexadecimalIndexes) {
  EXPECT_EQ(Query(L"get.recover.index.section.count"), L"0");
  for (int n = 0; n < 12; ++n) ASSERT_EQ(Save(n), S_OK);
  EXPECT_EQ(Query(L"get.recover.index.section.count"), L"12");
  EXPECT_EQ(Field(L"0", L"uuid"), L"u11");
  EXPECT_EQ(Field(L"0", L"title"), L"tab 11");
  EXPECT_EQ(Field(L"0", L"url"), L"http://t/11");
  EXPECT_EQ(Field(L"a", L"uuid"), L"u1");  // index 10
  EXPECT_EQ(Field(L"b", L"uuid"), L"u0");

  // Saving a uuid again brings it to the front without a second entry.
  ASSERT_EQ(Save(3), S_OK);
  EXPECT_EQ(Query(L"get.recover.index.section.count"), L"12");
  EXPECT_EQ(Field(L"0", L"uuid"), L"u3");
}

TEST_F(RecoverTest, ClearingAndTheLengthLimit) {
  for (int n = 0; n < 3; ++n) Save(n);
  EXPECT_EQ(Set(L"clear.recover.all", L"uuid=u1\n"), S_OK);
  EXPECT_EQ(Query(L"get.recover.index.section.count"), L"2");
  EXPECT_EQ(Set(L"clear.recover.all", L"uuid=u1\n"), S_OK);  // found unknown by the queued write
  Settle();
  EXPECT_TRUE(log.Contains("clear.recover.all: no closed tab with that uuid"));
  EXPECT_EQ(Set(L"clear.recover.all", L""), E_INVALIDARG);
  EXPECT_TRUE(log.Contains("clear.recover.all: parameter \"uuid\" is missing"));
  EXPECT_EQ(Set(L"clear.recover.all", L"uuid=\n"), S_OK);
  EXPECT_EQ(Query(L"get.recover.index.section.count"), L"0");

  Close();
  datastore::DataStoreOptions options;
  options.recoverLimit = 3;
  Open(options);
  for (int n = 0; n < 5; ++n) Save(n);
  EXPECT_EQ(Query(L"get.recover.index.section.count"), L"3");
  EXPECT_EQ(Field(L"2", L"uuid"), L"u2");
}

TEST_F(RecoverTest, BadRequestsAndShrunkenLists) {
  Save(0);
  // Past the end (the list shrank after the count was read): an empty text, so the
  // reader skips the index.
  EXPECT_EQ(Field(L"5", L"uuid"), L"");
  EXPECT_EQ(Field(L"-1", L"uuid"), std::nullopt);
  EXPECT_EQ(Field(L"0x0", L"uuid"), std::nullopt);
  EXPECT_EQ(Field(L"0", L"icon"), std::nullopt);
  EXPECT_EQ(Field(L"0", L"uuid;DROP TABLE recover"), std::nullopt);
  EXPECT_EQ(Query(L"get.recover.index.value", L"key=uuid\n"), std::nullopt);
  EXPECT_TRUE(log.Contains("get.recover.index.value: parameter \"key\" is missing or not one of uuid, title, url"));
  EXPECT_TRUE(log.Contains("get.recover.index.value: parameter \"id\" is missing or not a hexadecimal index"));
  EXPECT_EQ(Set(L"save.recover.tab", L"title=t\nurl=http://x/\n"), E_INVALIDARG);
  EXPECT_EQ(Set(L"save.recover.tab", L"title=t\nuuid=u9\n"), E_INVALIDARG);
  EXPECT_EQ(Query(L"get.recover.index.section.count"), L"1");
}

}  // namespace
}  // namespace dstest
