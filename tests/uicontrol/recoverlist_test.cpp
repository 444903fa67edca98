// The recover list document and clearing the list.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "fixture.h"
#include "xmlread.h"

using Attributes = std::vector<std::pair<std::string, std::wstring>>;

class RecoverListTest : public LibraryTest {
 protected:
  // Answers "get.recover.index.value" from `fields` (id line, key line -> value) and
  // "get_icon" with "icon:" + the parameter text's url, unless the index is in noIcon.
  void SetUp() override {
    LibraryTest::SetUp();
    store->answer = [this](const std::wstring& name, const std::wstring& params, std::wstring* text) {
      if (name == L"get.recover.index.value") {
        auto it = fields.find(params);
        if (it == fields.end()) return false;
        *text = it->second;
        return true;
      }
      if (name != L"get_icon" || noIcon.count(params.substr(0, params.find(L'\n')))) return false;
      const size_t url = params.find(L"url=") + 4;
      *text = L"icon:" + params.substr(url, params.size() - url - 1);
      return true;
    };
  }
  void Entry(const std::wstring& id, const std::wstring& uuid, const std::wstring& title, const std::wstring& url) {
    fields[L"id=" + id + L"\nkey=uuid\n"] = uuid;
    fields[L"id=" + id + L"\nkey=title\n"] = title;
    fields[L"id=" + id + L"\nkey=url\n"] = url;
  }
  std::vector<DataEvent> Sent() {
    tm.GetRecoverLists();
    Drain();
    return rec.DataEventsNamed(L"GetRecoverList");
  }
  std::map<std::wstring, std::wstring> fields;
  std::set<std::wstring> noIcon;
};

TEST_F(RecoverListTest, BuildsTheDocumentFromEveryIndex) {
  store->SetAnswer(L"get.recover.index.section.count", L"11 tabs");
  Entry(L"0", L"u0", L"T & <0>", L"http://zero/");
  Entry(L"1", L"", L"no uuid", L"http://one/");
  Entry(L"a", L"u10", L"", L"http://ten/\u4e2d\U0001F600");
  std::vector<DataEvent> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  std::string root;
  EXPECT_EQ(ReadListDocument(sent[0].data, &root),
            (std::vector<Attributes>{{{"name", L"T & <0>"}, {"icon", L"icon:http://zero/"}, {"uuid", L"u0"}},
                                     {{"name", L"http://ten/\u4e2d\U0001F600"},
                                      {"icon", L"icon:http://ten/\u4e2d\U0001F600"},
                                      {"uuid", L"u10"}}}));
  EXPECT_EQ(root, "RecoverHistory");
  // Index 10 is asked for as "a"; the icon query carries id, key and url in that order.
  std::vector<StoreCall> icons = store->CallsNamed(L"get_icon");
  ASSERT_EQ(icons.size(), 11u);
  EXPECT_EQ(icons[10].text, L"id=a\nkey=url\nurl=http://ten/\u4e2d\U0001F600\n");
  EXPECT_EQ(store->CallsNamed(L"get.recover.index.value")[30].text, L"id=a\nkey=uuid\n");
  EXPECT_EQ(store->CallsNamed(L"get.recover.index.section.count")[0].text, L"");
}

TEST_F(RecoverListTest, CountsThatSendNothing) {
  for (const wchar_t* count : {L"0", L"-3", L"abc", L""}) {
    store->SetAnswer(L"get.recover.index.section.count", count);
    EXPECT_TRUE(Sent().empty()) << count;
  }
  store->SetNullTextAnswer(L"get.recover.index.section.count");
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(store->CallsNamed(L"get.recover.index.value").empty());
}

TEST_F(RecoverListTest, AMissingIconEndsTheListAndAnEmptyOneIsCompact) {
  store->SetAnswer(L"get.recover.index.section.count", L"2");
  Entry(L"0", L"u0", L"t", L"http://zero/");
  Entry(L"1", L"u1", L"t", L"http://one/");
  noIcon = {L"id=1"};
  EXPECT_TRUE(Sent().empty());

  noIcon.clear();
  fields.clear();  // no answers for the fields: read as empty, every index left out
  std::vector<DataEvent> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].data, L"<RecoverHistory />");
}

TEST_F(RecoverListTest, ClearSendsTheConstantText) {
  EXPECT_TRUE(tm.ClearRecoverLists());
  Drain();
  ASSERT_EQ(store->Calls().size(), 1u);
  EXPECT_EQ(store->Calls()[0].op + L":" + store->Calls()[0].name + L":" + store->Calls()[0].text,
            L"SetData:clear.recover.all:uuid=\n");
}
