// What the WebKit engine and its web process extension tell each other about content
// blocking: the settings survive the trip as a GVariant, anything else is refused, and a
// request's resource type is read from its headers as WebKit sends them.
#include "components/webkitpage/blockingprotocol.h"

#include <gtest/gtest.h>

namespace {

using contentfilter::ResourceType;
using webkitpage::blocking::ResourceTypeOf;

TEST(BlockingProtocol, SettingsGoAndComeBackAndOtherVariantsAreRefused) {
  webkitpage::blocking::Settings sent;
  sent.ready = true;
  sent.files = {"/usr/share/lists/easylist.txt", "/home/u/.local/share/uicontrol/filters/my list.txt"};
  sent.trustedOrigins = {"http://127.0.0.1:8765"};
  sent.sitesOff = {"news.example", "[::1]"};
  GVariant* value = g_variant_ref_sink(webkitpage::blocking::WriteSettings(sent));
  webkitpage::blocking::Settings read;
  ASSERT_TRUE(webkitpage::blocking::ReadSettings(value, &read));
  g_variant_unref(value);
  EXPECT_TRUE(read.ready);
  EXPECT_EQ(sent.files, read.files);
  EXPECT_EQ(sent.trustedOrigins, read.trustedOrigins);
  EXPECT_EQ(sent.sitesOff, read.sitesOff);

  EXPECT_FALSE(webkitpage::blocking::ReadSettings(nullptr, &read));
  GVariant* other = g_variant_ref_sink(g_variant_new_string("(basasas)"));
  EXPECT_FALSE(webkitpage::blocking::ReadSettings(other, &read));
  g_variant_unref(other);
}

struct TypeCase {
  const char* name;
  const char* dest;
  const char* accept;
  bool mainResource;
  ResourceType type;
};
std::ostream& operator<<(std::ostream& out, const TypeCase& c) { return out << c.name; }

const TypeCase kTypes[] = {
    {"PagesOwnDocument", "document", "text/html,application/xhtml+xml", true, ResourceType::Document},
    {"FrameDocument", "iframe", "text/html", false, ResourceType::Subdocument},
    {"Script", "script", "*/*", false, ResourceType::Script},
    {"Image", "image", "image/webp,*/*", false, ResourceType::Image},
    {"Stylesheet", "style", "text/css,*/*;q=0.1", false, ResourceType::Stylesheet},
    {"FetchIsXhr", "empty", "*/*", false, ResourceType::XmlHttpRequest},
    {"Video", "video", "*/*", false, ResourceType::Media},
    {"UnknownDestination", "webidentity", "*/*", false, ResourceType::Other},
    {"NoDestImageByAccept", "", "image/png,image/*;q=0.8", false, ResourceType::Image},
    {"NoDestHtmlIsAFrame", "", "text/html,*/*", false, ResourceType::Subdocument},
    {"NoDestStylesheetByAccept", "", "text/css,*/*;q=0.1", false, ResourceType::Stylesheet},
    {"NoHeadersAtAll", "", "", false, ResourceType::Other},
};

class ResourceTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ResourceTypeTest, ComesFromTheRequestsHeaders) {
  const TypeCase& c = GetParam();
  EXPECT_EQ(c.type, ResourceTypeOf(c.dest, c.accept, c.mainResource));
}

INSTANTIATE_TEST_SUITE_P(Requests, ResourceTypeTest, ::testing::ValuesIn(kTypes),
                         [](const ::testing::TestParamInfo<TypeCase>& info) { return std::string(info.param.name); });

}  // namespace
