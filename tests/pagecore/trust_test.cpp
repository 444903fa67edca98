// The one trust policy of both engines: what a page may ask, from where.
#include <gtest/gtest.h>

#include "components/pagecore/trust.h"

namespace {

using pagecore::RequestType;
using pagecore::Verdict;

struct Case {
  RequestType type;
  bool top, trusted, opened;
  Verdict verdict;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << static_cast<int>(c.type) << (c.top ? " top" : " frame") << (c.trusted ? " trusted" : "") << (c.opened ? " opened" : "");
}

class TrustTest : public ::testing::TestWithParam<Case> {};

TEST_P(TrustTest, JudgesEachRequestByItsDocumentItsOriginAndWhoOpenedTheTab) {
  const Case& c = GetParam();
  pagecore::RequestSource source;
  source.topDocument = c.top;
  source.trustedOrigin = c.trusted;
  source.openedByPage = c.opened;
  source.origin = "http://127.0.0.1:1";
  EXPECT_EQ(pagecore::Judge(c.type, source), c.verdict);
  const std::string why = pagecore::RefusalText(c.type, source, c.verdict);
  // Every refusal says why, naming the origin; an obeyed request has no reason.
  EXPECT_EQ(why.empty(), c.verdict == Verdict::Obey) << why;
  if (c.verdict != Verdict::Obey) {
    EXPECT_NE(why.find(source.origin), std::string::npos) << why;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TrustTest,
    ::testing::Values(
        // Title, icon and status text: from the top-level document of any page.
        Case{RequestType::Title, true, false, false, Verdict::Obey},
        Case{RequestType::Icon, true, false, false, Verdict::Obey},
        Case{RequestType::Status, true, false, true, Verdict::Obey},
        Case{RequestType::Title, false, true, false, Verdict::FromFrame},
        Case{RequestType::Status, false, false, false, Verdict::FromFrame},
        // A refused window is told whichever document was refused it.
        Case{RequestType::PopupBlocked, false, false, false, Verdict::Obey},
        Case{RequestType::PopupBlocked, true, false, false, Verdict::Obey},
        // Closing: a window a page opened, or the host's own page; never from a frame.
        Case{RequestType::Close, true, false, false, Verdict::NotClosable},
        Case{RequestType::Close, true, false, true, Verdict::Obey},
        Case{RequestType::Close, true, true, false, Verdict::Obey},
        Case{RequestType::Close, false, true, true, Verdict::FromFrame},
        // The favourite dialogs: the host's own pages only, top-level only.
        Case{RequestType::AddFavorite, true, true, false, Verdict::Obey},
        Case{RequestType::EditFavorite, true, true, true, Verdict::Obey},
        Case{RequestType::AddFavorite, true, false, true, Verdict::Untrusted},
        Case{RequestType::EditFavorite, true, false, false, Verdict::Untrusted},
        Case{RequestType::AddFavorite, false, true, false, Verdict::FromFrame}));

TEST(TrustTextTest, AnUnknownOriginIsNamedAsSuch) {
  pagecore::RequestSource source;
  source.topDocument = true;
  EXPECT_NE(pagecore::RefusalText(RequestType::AddFavorite, source, Verdict::Untrusted).find("(unknown origin)"),
            std::string::npos);
}

}  // namespace
