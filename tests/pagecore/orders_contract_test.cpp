// Orders whose answers are the same on every engine: find, and orders no engine carries out.
#include "pagecore/contractfixture.h"

namespace webtest {
namespace {

TEST_P(PageContractTest, FindCountsTheMatchesWhateverTheirCase) {
  m_server.Html("/fruit", "<html><body><p>apple Apple</p><p>APPLE and banana</p>"
                          "<p>The quick brown fox</p><p>Brown fox again</p></body></html>");
  std::shared_ptr<CRecordingSink> sink;
  PagePtr page = NewPage(&sink);
  ASSERT_GE(Load(page.get(), *sink, m_server.Url("/fruit")), 0);
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=FIND\nTEXT=apple\n"));
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=FIND\nTEXT=apple\n"));  // the next match
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=FIND\nTEXT=brown fox\n"));
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=FIND\nTEXT=cherry\n"));
  // One answer per order, in order.
  const std::wstring answers[] = {L"COUNT=3\nFOUND=TRUE\nTEXT=apple\n", L"COUNT=3\nFOUND=TRUE\nTEXT=apple\n",
                                  L"COUNT=2\nFOUND=TRUE\nTEXT=brown fox\n", L"COUNT=0\nFOUND=FALSE\nTEXT=cherry\n"};
  int at = -1;
  for (const std::wstring& answer : answers) {
    at = sink->WaitFor(L"FINDRESULT", L"", at + 1);
    ASSERT_GE(at, 0) << platform::WideToUtf8(answer);
    EXPECT_EQ(answer, sink->Events()[at].value);
  }
  // Without words there is nothing to look for: no engine has a find bar.
  ASSERT_EQ(S_OK, Order(page.get(), L"CMD=FIND\n"));
  EXPECT_GE(sink->WaitFor(L"ORDERUNSUPPORTED", L"CMD=FIND\n"), 0);
}

}  // namespace
}  // namespace webtest
