// Search engines and the navigation history document.
#include <gtest/gtest.h>

#include "fixture.h"
#include "logging/logging.h"
#include "logging/messages.h"
#include "xmlread.h"

using Attributes = std::vector<std::pair<std::string, std::wstring>>;

TEST_F(LibraryTest, SearchListAndDefaultEngine) {
  store->SetAnswer(L"query_search_all_ui", L"engines as the store writes them");
  EXPECT_TRUE(tm.GetAllSearchLlists());
  EXPECT_TRUE(tm.SetDefaultSearch(L"5"));
  EXPECT_FALSE(tm.SetDefaultSearch(L"5\nx=1"));
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, logging::msg::kUnsafeText));
  Drain();
  EXPECT_EQ(store->CallsNamed(L"query_search_all_ui")[0].text, L"");
  ASSERT_EQ(rec.DataEventsNamed(L"GetAllSearchLists").size(), 1u);
  EXPECT_EQ(rec.DataEventsNamed(L"GetAllSearchLists")[0].data, L"engines as the store writes them");
  ASSERT_EQ(store->CallsNamed(L"set_search_default").size(), 1u);
  EXPECT_EQ(store->CallsNamed(L"set_search_default")[0].text, L"id=5") << "no final line feed";
}

TEST_F(LibraryTest, BusinessSearchAppliesOnlyARealEngine) {
  tm.GetBusinessSearch();  // no answer
  store->SetNullTextAnswer(L"business_search_id");
  tm.GetBusinessSearch();
  Drain();
  store->SetAnswer(L"business_search_id", L"-1");
  tm.GetBusinessSearch();
  Drain();
  EXPECT_EQ(store->CallsNamed(L"business_search_id").size(), 3u);
  EXPECT_TRUE(store->CallsNamed(L"set_search_default").empty());
  store->SetAnswer(L"business_search_id", L"7");
  tm.GetBusinessSearch();
  Drain();
  ASSERT_EQ(store->CallsNamed(L"set_search_default").size(), 1u);
  EXPECT_EQ(store->CallsNamed(L"set_search_default")[0].text, L"id=7");
}

class HistoryTest : public LibraryTest {
 protected:
  // Icons answer "icon:" + URL, except for URLs listed in `noIcon`.
  void SetUp() override {
    LibraryTest::SetUp();
    store->answer = [this](const std::wstring& name, const std::wstring& params, std::wstring* text) {
      if (name != L"get_icon" || params.compare(0, 4, L"url=") != 0) return false;
      std::wstring url = params.substr(4, params.size() - 5);
      for (const auto& u : noIcon) {
        if (u == url) return false;
      }
      *text = L"icon:" + url;
      return true;
    };
  }
  unsigned int OpenTab(const std::wstring& back, const std::wstring& forward, bool withLogs = true) {
    unsigned int uID = tm.AddTab(L"http://current/", 0);
    if (withLogs) {
      pages->LastPage()->SetValue(L"TRAVELLOG_BACK", back);
      pages->LastPage()->SetValue(L"TRAVELLOG_FORE", forward);
    }
    return uID;
  }
  std::vector<Attributes> History(unsigned int uID) {
    rec.ClearEvents();
    EXPECT_TRUE(tm.GetNavigateHistory(uID));
    Drain();
    std::vector<DataEvent> sent = rec.DataEventsNamed(L"GetNavigateHistory");
    if (sent.size() != 1) return {};
    lastDocument = sent[0].data;
    std::string root;
    std::vector<Attributes> elements = ReadListDocument(lastDocument, &root);
    EXPECT_EQ(root, "NavigateHistory");
    return elements;
  }
  static std::wstring Log(std::initializer_list<std::pair<const wchar_t*, std::wstring>> entries) {
    std::wstring text;
    for (const auto& e : entries) text += (text.empty() ? L"" : L"\x03") + std::wstring(e.first) + L'\x02' + e.second;
    return text;
  }
  static Attributes Row(const std::wstring& name, const std::wstring& url, bool current = false) {
    return {{"name", name}, {"url", url}, {"icon", L"icon:" + url}, {"current", current ? L"true" : L"false"}};
  }
  std::vector<std::wstring> noIcon;
  std::wstring lastDocument;
};

TEST_F(HistoryTest, BackHighToLowThenCurrentThenForwardLowToHigh) {
  unsigned int uID = OpenTab(Log({{L"0", L"http://b0/\x01" L"B0"}, {L"1", L"http://b1/"}}),
                             Log({{L"1", L"http://f1/\x01" L"F1"}, {L"0", L"http://f0/\x01"}}));
  EXPECT_EQ(History(uID), (std::vector<Attributes>{Row(L"http://b1/", L"http://b1/"), Row(L"B0", L"http://b0/"),
                                                   Row(L"http://current/", L"http://current/", true),
                                                   Row(L"http://f0/", L"http://f0/"), Row(L"F1", L"http://f1/")}));
  EXPECT_EQ(pages->LastPage()->OutstandingData(), 0) << "both travel logs given back";
  EXPECT_EQ(store->CallsNamed(L"get_icon")[0].text, L"url=http://b1/\n");
}

TEST_F(HistoryTest, EmptyLogsGiveOnlyTheCurrentPageInCompactForm) {
  unsigned int uID = OpenTab(L"", L"");
  tm.FindTabInfoInternal(uID)->strTitle.Set(L"");
  History(uID);
  EXPECT_EQ(lastDocument,
            L"<NavigateHistory><Element name=\"http://current/\" url=\"http://current/\" icon=\"icon:http://current/\" "
            L"current=\"true\" /></NavigateHistory>");
  // No travel log values at all, and a page without IWebPageData, read as empty logs.
  uID = OpenTab(L"", L"", false);
  EXPECT_EQ(History(uID).size(), 1u);
  pages->configure = [](FakeWebPage& page) { page.answerData = false; };
  uID = OpenTab(L"", L"", false);
  EXPECT_EQ(History(uID).size(), 1u);
}

TEST_F(HistoryTest, AnEntryWithoutIconIsSkippedAndTheRestKept) {
  noIcon = {L"http://b1/"};
  unsigned int uID = OpenTab(Log({{L"0", L"http://b0/"}, {L"1", L"http://b1/"}, {L"2", L"http://b2/"}}),
                             Log({{L"0", L"http://f0/"}, {L"2", L"http://f2/"}}));
  std::vector<Attributes> rows = History(uID);
  ASSERT_EQ(rows.size(), 4u) << "forward index 1 is missing: index 2 is beyond the count";
  EXPECT_EQ(rows[0], Row(L"http://b2/", L"http://b2/"));
  EXPECT_EQ(rows[1], Row(L"http://b0/", L"http://b0/"));
  EXPECT_EQ(rows[3], Row(L"http://f0/", L"http://f0/"));

  noIcon = {L"http://current/"};
  rec.ClearEvents();
  tm.GetNavigateHistory(uID);
  Drain();
  EXPECT_TRUE(rec.DataEvents().empty()) << "without the current page's icon nothing is sent";
  EXPECT_EQ(pages->LastPage()->OutstandingData(), 0);
}

TEST_F(HistoryTest, UnsafeUrlsAndNullIconTextsGiveEmptyIcons) {
  unsigned int uID = OpenTab(Log({{L"0", L"http://a/\nid=5\x01" L"T"}}), L"");
  std::vector<Attributes> rows = History(uID);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (Attributes{{"name", L"T"}, {"url", L"http://a/\nid=5"}, {"icon", L""}, {"current", L"false"}}));
  EXPECT_EQ(store->CallsNamed(L"get_icon").size(), 1u) << "only the current page's icon is asked for";

  store->SetNullTextAnswer(L"get_icon");
  rows = History(uID);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][2].second, L"");
}

TEST_F(HistoryTest, TitlesSurviveTheXmlRoundTrip) {
  const std::wstring title = L"A & B <c> \"q\" 'a' \u4e2d\u6587 \U0001F600";
  unsigned int uID = OpenTab(Log({{L"0", L"http://b/?a=1&b=2\x01" + title}}), L"");
  tm.FindTabInfoInternal(uID)->strTitle.Set(title + L"!");
  std::vector<Attributes> rows = History(uID);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], Row(title, L"http://b/?a=1&b=2"));
  EXPECT_EQ(rows[1][0].second, title + L"!");
}

TEST_F(HistoryTest, BadTabIdentifiers) {
  EXPECT_FALSE(tm.GetNavigateHistory(0));
  EXPECT_TRUE(rec.HasLog(logging::LOG_WARNING, logging::msg::kEmptyPageID));
  EXPECT_FALSE(tm.GetNavigateHistory(987654));
  EXPECT_TRUE(rec.HasLog(logging::LOG_ERROR, logging::msg::kTabNotFound));
  Drain();
  EXPECT_TRUE(store->Calls().empty());
}
