// The saved session (open tabs with their back and forward entries) and the closed tabs'
// entries in the recover list: what is written reads back whole, a write replaces the
// session at once, and malformed sessions are refused before anything is queued.
#include "store_fixture.h"

namespace dstest {
namespace {

struct TabText {
  std::vector<std::pair<std::string, std::string>> entries;  // url, title
  std::string index;
};

// The session as the host writes it: count, selected, tab.I.url.J, tab.I.title.J, tab.I.index.
std::wstring SessionParams(const std::vector<TabText>& tabs, int selected) {
  std::map<std::wstring, std::wstring> p{{L"count", std::to_wstring(tabs.size())},
                                         {L"selected", std::to_wstring(selected)}};
  for (size_t i = 0; i < tabs.size(); ++i) {
    const std::wstring t = L"tab." + std::to_wstring(i) + L".";
    for (size_t j = 0; j < tabs[i].entries.size(); ++j) {
      p[t + L"url." + std::to_wstring(j)] = std::wstring(tabs[i].entries[j].first.begin(), tabs[i].entries[j].first.end());
      p[t + L"title." + std::to_wstring(j)] =
          std::wstring(tabs[i].entries[j].second.begin(), tabs[i].entries[j].second.end());
    }
    p[t + L"index"] = std::wstring(tabs[i].index.begin(), tabs[i].index.end());
  }
  return Params(p);
}

// "index:url|url|..." per tab, and the selected place, read back from "get.session".
std::string Summary(const std::optional<std::wstring>& text) {
  if (!text) return "no holder";
  Xml xml(*text);
  if (!xml.root()) return "no document";
  std::string out = "selected " + Attr(xml.root(), "selected");
  for (TiXmlElement* tab : Children(xml.root(), "Tab")) {
    out += "; " + Attr(tab, "index") + ":";
    for (TiXmlElement* e : Children(tab, "Entry")) out += Attr(e, "url") + "=" + Attr(e, "title") + "|";
  }
  return out;
}

class SessionStoreTest : public StoreTest {};

TEST_F(SessionStoreTest, ASavedSessionReadsBackWholeAndTheNextWriteReplacesIt) {
  EXPECT_EQ(Summary(Query(L"get.session")), "selected -1");
  const std::vector<TabText> tabs = {
      {{{"http://a/1", "A1"}, {"http://a/2", "A <2> & \"x\""}, {"http://a/3", ""}}, "1"},
      {{{"http://b/1", "B1"}}, "0"},
  };
  ASSERT_EQ(Set(L"save.session", SessionParams(tabs, 1)), S_OK);
  EXPECT_EQ(Summary(Query(L"get.session")),
            "selected 1; 1:http://a/1=A1|http://a/2=A <2> & \"x\"|http://a/3=http://a/3|; 0:http://b/1=B1|");
  const auto saved = Get(L"session.saved");
  ASSERT_TRUE(saved);
  EXPECT_GT(std::stoll(Narrow(*saved)), 1600000000);

  ASSERT_EQ(Set(L"save.session", SessionParams({tabs[1]}, 0)), S_OK);
  EXPECT_EQ(Summary(Query(L"get.session")), "selected 0; 0:http://b/1=B1|");
  ASSERT_EQ(Set(L"save.session", SessionParams({}, -1)), S_OK);
  EXPECT_EQ(Summary(Query(L"get.session")), "selected -1");

  // The session outlives the store.
  ASSERT_EQ(Set(L"save.session", SessionParams(tabs, 0)), S_OK);
  Close();
  Open();
  EXPECT_EQ(Summary(Query(L"get.session")),
            "selected 0; 1:http://a/1=A1|http://a/2=A <2> & \"x\"|http://a/3=http://a/3|; 0:http://b/1=B1|");
}

struct BadSession {
  const char* name;
  std::wstring params;
  const char* logged;
};

void PrintTo(const BadSession& c, std::ostream* out) { *out << c.name; }

class SessionStoreBadInput : public StoreTest, public ::testing::WithParamInterface<BadSession> {};

TEST_P(SessionStoreBadInput, IsRefusedAtTheCallAndLeavesTheSavedSession) {
  ASSERT_EQ(Set(L"save.session", SessionParams({{{{"http://kept/", "kept"}}, "0"}}, 0)), S_OK);
  EXPECT_EQ(Set(L"save.session", GetParam().params), E_INVALIDARG);
  EXPECT_TRUE(log.Contains(GetParam().logged)) << GetParam().name;
  EXPECT_EQ(Summary(Query(L"get.session")), "selected 0; 0:http://kept/=kept|");
}

std::wstring TooManyEntries() {
  TabText tab{{}, "0"};
  for (int j = 0; j <= 100; ++j) tab.entries.push_back({"http://e/" + std::to_string(j), ""});
  return SessionParams({tab}, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionStoreBadInput,
    ::testing::Values(
        BadSession{"no count", L"selected=0\n", "save.session: parameter \"count\" is missing"},
        BadSession{"negative count", L"count=-1\n", "parameter \"count\" must lie between 0 and 1000"},
        BadSession{"huge count", L"count=1001\n", "parameter \"count\" must lie between 0 and 1000"},
        BadSession{"selected past the end", SessionParams({{{{"http://a/", ""}}, "0"}}, 1),
                   "parameter \"selected\" names no tab"},
        BadSession{"tab without entries", L"count=1\nselected=0\n", "tab 0 has no entries"},
        BadSession{"index past the entries", SessionParams({{{{"http://a/", ""}}, "1"}}, 0),
                   "parameter \"tab.0.index\" names no entry (1 entries)"},
        BadSession{"index not a number", SessionParams({{{{"http://a/", ""}}, "x"}}, 0),
                   "parameter \"tab.0.index\" is not a decimal number"},
        BadSession{"entry without url", L"count=1\nselected=0\ntab.0.index=0\ntab.0.title.0=t\n",
                   "parameter \"tab.0.url.0\" is missing or empty"},
        BadSession{"too many entries", TooManyEntries(), "more than 100 entries for tab.0.url"}),
    [](const ::testing::TestParamInfo<BadSession>& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

TEST_F(SessionStoreTest, AClosedTabKeepsItsEntriesUntilItLeavesTheList) {
  auto closedTab = [&](const std::wstring& uuid) { return Query(L"get.recover.tab", L"uuid=" + uuid + L"\n"); };
  ASSERT_EQ(Set(L"save.recover.tab", Params({{L"uuid", L"u1"}, {L"title", L"Two"}, {L"url", L"http://t/2"},
                                              {L"url.0", L"http://t/1"}, {L"title.0", L"One"},
                                              {L"url.1", L"http://t/2"}, {L"title.1", L"Two"},
                                              {L"url.2", L"http://t/3"}, {L"index", L"1"}})),
            S_OK);
  // Kept the old way, without entries: its address is its one entry.
  ASSERT_EQ(Set(L"save.recover.tab", Params({{L"uuid", L"u2"}, {L"title", L"Old"}, {L"url", L"http://old/"}})), S_OK);

  Xml first(closedTab(L"u1").value_or(L""));
  ASSERT_TRUE(first.root());
  EXPECT_EQ(Attr(first.root(), "index"), "1");
  EXPECT_EQ(Attr(first.root(), "url"), "http://t/2");
  std::string urls;
  for (TiXmlElement* e : Children(first.root(), "Entry")) urls += Attr(e, "url") + "=" + Attr(e, "title") + " ";
  EXPECT_EQ(urls, "http://t/1=One http://t/2=Two http://t/3=http://t/3 ");
  Xml second(closedTab(L"u2").value_or(L""));
  ASSERT_TRUE(second.root());
  EXPECT_EQ(Attr(second.root(), "index"), "0");
  ASSERT_EQ(Children(second.root(), "Entry").size(), 1u);
  EXPECT_EQ(Attr(Children(second.root(), "Entry")[0], "url"), "http://old/");

  // Saved again without entries, the old entries go; taken off the list, the tab is unknown.
  ASSERT_EQ(Set(L"save.recover.tab", Params({{L"uuid", L"u1"}, {L"title", L"T"}, {L"url", L"http://t/9"}})), S_OK);
  Xml again(closedTab(L"u1").value_or(L""));
  ASSERT_TRUE(again.root());
  EXPECT_EQ(Children(again.root(), "Entry").size(), 1u);
  ASSERT_EQ(Set(L"clear.recover.all", L"uuid=u1\n"), S_OK);
  EXPECT_EQ(closedTab(L"u1"), std::nullopt);
  EXPECT_EQ(closedTab(L""), std::nullopt);
  EXPECT_TRUE(log.Contains("get.recover.tab: parameter \"uuid\" is missing or empty"));
  // Bad entries refuse the save.
  EXPECT_EQ(Set(L"save.recover.tab", Params({{L"uuid", L"u3"}, {L"url", L"http://x/"}, {L"url.0", L"http://x/"},
                                             {L"index", L"4"}})),
            E_INVALIDARG);
  EXPECT_EQ(Query(L"get.recover.index.section.count"), L"1");
}

}  // namespace
}  // namespace dstest
