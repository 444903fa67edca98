// What pages may say through the engine's script function: only well-formed messages count.
#include "components/webpage/pagescript.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace webpage
