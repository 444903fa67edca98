// What pages may say through the engine's script function: only well-formed messages count.
#include "components/webpage/pagescript.h"

#include <gtest/gtest.h>

#include <limits>

namespace webpage {
namespace {

PageMessage Read(const std::string& payload) {
  PageMessage message;
  std::string error;
  EXPECT_TRUE(ParsePageMessage(payload, &message, &error)) << error;
  return message;
}

std::string Refusal(const std::string& payload) {
  PageMessage message;
  std::string error;
  EXPECT_FALSE(ParsePageMessage(payload, &message, &error));
  return error;
}

TEST(WebpagePageScript, ReadsEveryMessage) {
  PageMessage title = Read(R"({"type":"title","text":"Zoë's page"})");
  EXPECT_EQ(PageMessage::Type::Title, title.type);
  EXPECT_EQ(L"Zo\u00eb's page", title.text);
  EXPECT_EQ(PageMessage::Type::Icon, Read(R"({"type":"icon","text":""})").type);
  EXPECT_EQ(PageMessage::Type::Close, Read(R"({"type":"close"})").type);
  EXPECT_EQ(L"http://x/", Read(R"({"type":"popblock","url":"http://x/"})").text);
  EXPECT_EQ(26u, Read(R"({"type":"addfav","parentId":26})").parentId);
  PageMessage edit = Read(R"({"type":"editfav","id":4294967295,"parentId":0,"title":"T","url":"u"})");
  EXPECT_EQ(4294967295u, edit.id);
  EXPECT_EQ(0u, edit.parentId);
  EXPECT_EQ(L"T", edit.text);
  EXPECT_EQ(L"u", edit.url);
}

TEST(WebpagePageScript, LongTextsAreCut) {
  std::string longTitle(100000, 'a');
  PageMessage title = Read(R"({"type":"title","text":")" + longTitle + R"("})");
  EXPECT_EQ(kPageTitleLimit, title.text.size());
  PageMessage status = Read(R"({"type":"status","text":")" + std::string(200000, 'b') + R"("})");
  EXPECT_EQ(kPageTextLimit, status.text.size());
  PageMessage edit = Read(R"({"type":"editfav","id":1,"parentId":2,"title":")" + longTitle + R"(","url":")" +
                          std::string(70000, 'u') + R"("})");
  EXPECT_EQ(kPageTitleLimit, edit.text.size());
  EXPECT_EQ(kPageTextLimit, edit.url.size());
  EXPECT_EQ(L"short", Read(R"({"type":"title","text":"short"})").text);
}

TEST(WebpagePageScript, RefusesWhatIsMalformed) {
  EXPECT_EQ("page message is not a JSON object", Refusal("not json"));
  EXPECT_EQ("page message is not a JSON object", Refusal("[1]"));
  EXPECT_EQ("page message without type", Refusal(R"({"kind":"title"})"));
  EXPECT_EQ("unknown page message \"explode\"", Refusal(R"({"type":"explode"})"));
  EXPECT_EQ("page message \"title\" without its text", Refusal(R"({"type":"title","text":5})"));
  for (const char* bad : {R"({"type":"addfav"})", R"({"type":"addfav","parentId":-1})",
                          R"({"type":"addfav","parentId":1.5})", R"({"type":"addfav","parentId":4294967296})",
                          R"({"type":"addfav","parentId":"7"})"}) {
    EXPECT_EQ("showAddFavorite needs a parent id from 0 to 4294967295", Refusal(bad)) << bad;
  }
  EXPECT_EQ("showEditFavorite needs ids from 0 to 4294967295", Refusal(R"({"type":"editfav","id":1})"));
  EXPECT_EQ("showEditFavorite needs a title and an address",
            Refusal(R"({"type":"editfav","id":1,"parentId":2,"title":"t"})"));
}

TEST(WebpagePageScript, IdsOutOfRangeOrNotFiniteAreRefused) {
  for (const char* bad : {R"({"type":"addfav","parentId":1e300})", R"({"type":"addfav","parentId":-1e300})",
                          R"({"type":"addfav","parentId":18446744073709551615})",
                          R"({"type":"addfav","parentId":18446744073709551616})",
                          R"({"type":"addfav","parentId":9223372036854775808})", R"({"type":"addfav","parentId":null})",
                          R"({"type":"addfav","parentId":1e-300})"}) {
    EXPECT_EQ("showAddFavorite needs a parent id from 0 to 4294967295", Refusal(bad)) << bad;
  }
  EXPECT_EQ("showEditFavorite needs ids from 0 to 4294967295",
            Refusal(R"({"type":"editfav","id":1e300,"parentId":0,"title":"t","url":"u"})"));
  nlohmann::json infinite = {{"type", "addfav"}, {"parentId", std::numeric_limits<double>::infinity()}};
  PageMessage message;
  std::string error;
  EXPECT_FALSE(ParsePageMessage(infinite, &message, &error));
  nlohmann::json nan = {{"type", "addfav"}, {"parentId", std::numeric_limits<double>::quiet_NaN()}};
  EXPECT_FALSE(ParsePageMessage(nan, &message, &error));
  EXPECT_EQ(4294967295u, Read(R"({"type":"addfav","parentId":4294967295.0})").parentId);
}

TEST(WebpagePageScript, OnlyMessagesWithThePagesTokenAreOpened) {
  const std::string token = NewPageToken();
  EXPECT_EQ(32u, token.size());
  EXPECT_NE(token, NewPageToken());
  PageMessage message;
  std::string error;
  bool forged = true;
  ASSERT_TRUE(OpenPageMessage(R"({"token":")" + token + R"(","message":{"type":"close"}})", token, &message, &error,
                              &forged))
      << error;
  EXPECT_FALSE(forged);
  EXPECT_EQ(PageMessage::Type::Close, message.type);

  // What a page script could send if it ever held the binding: no token, a guess, the
  // bare message of the old protocol.
  for (const std::string& payload :
       {std::string(R"({"type":"close"})"), std::string(R"({"token":"0123","message":{"type":"close"}})"),
        // The page's token with its last digit changed.
        R"({"token":")" + token.substr(0, 31) + (token.back() == '0' ? "1" : "0") + R"(","message":{"type":"close"}})",
        std::string(R"({"token":5,"message":{"type":"close"}})"), std::string("not json"), std::string("[]")}) {
    forged = false;
    EXPECT_FALSE(OpenPageMessage(payload, token, &message, &error, &forged)) << payload;
    EXPECT_TRUE(forged) << payload;
  }
  EXPECT_FALSE(OpenPageMessage(R"({"token":"","message":{"type":"close"}})", "", &message, &error, &forged))
      << "a page without a token accepts nothing";

  // A message from the script that is malformed is an error, not a forgery.
  EXPECT_FALSE(OpenPageMessage(R"({"token":")" + token + R"(","message":{"type":"addfav","parentId":1e300}})", token,
                               &message, &error, &forged));
  EXPECT_FALSE(forged);
  EXPECT_EQ("showAddFavorite needs a parent id from 0 to 4294967295", error);
}

TEST(WebpagePageScript, TheTokenStaysInTheEngineWorldAndTheOriginsGoToThePageWorld) {
  const std::string token = NewPageToken();
  const std::string script = PageScript(token);
  const std::string pageWorld = PageWorldScript({"http://127.0.0.1:8080", "https://a.test"});
  for (const std::string* text : {&script, &pageWorld}) EXPECT_EQ(std::string::npos, text->find('@')) << *text;
  size_t at = script.find(token);
  ASSERT_NE(std::string::npos, at);
  EXPECT_EQ(std::string::npos, script.find(token, at + 1)) << "the token is written once";
  EXPECT_EQ(std::string::npos, pageWorld.find(token)) << "the page's world never holds the token";
  EXPECT_EQ(std::string::npos, pageWorld.find(kBindingName)) << "nor the binding";
  EXPECT_EQ(std::string::npos, pageWorld.find("__uicontrol")) << "nor a helper of the engine";
  EXPECT_NE(std::string::npos, pageWorld.find(R"(["http://127.0.0.1:8080","https://a.test"])"));
  EXPECT_NE(std::string::npos, PageWorldScript({}).find("const trusted = [];"));
  EXPECT_NE(std::string::npos, script.find("delete globalThis.__uicontrolHost"));
  EXPECT_NE(std::string::npos, script.find("const kTitle = 4096, kText = 65536;"));
}

}  // namespace
}  // namespace webpage
