// The host's trusted origins are compared as Chromium writes a document's origin.
#include "components/webpage/origin.h"

#include <gtest/gtest.h>

namespace webpage {
namespace {

std::string Normal(const std::string& text) {
  std::string origin;
  EXPECT_TRUE(NormalizeOrigin(text, &origin)) << text;
  return origin;
}

TEST(WebpageOrigin, OriginsAreWrittenAsChromiumWritesThem) {
  EXPECT_EQ("http://127.0.0.1:8080", Normal("http://127.0.0.1:8080"));
  EXPECT_EQ("http://127.0.0.1:8080", Normal("http://127.0.0.1:8080/"));
  EXPECT_EQ("http://127.0.0.1:8080", Normal("http://127.0.0.1:8080/index.html?x#y"));
  EXPECT_EQ("http://example.test", Normal("HTTP://Example.TEST:80/"));
  EXPECT_EQ("https://example.test", Normal("https://example.test:443"));
  EXPECT_EQ("https://example.test:80", Normal("https://example.test:80"));
  EXPECT_EQ("http://localhost:8080", Normal("http://localhost:08080"));
  EXPECT_EQ("http://[::1]:9000", Normal("http://[::1]:9000/"));
}

TEST(WebpageOrigin, WhatIsNoOriginIsRefused) {
  std::string origin = "unchanged";
  for (const char* bad : {"", "null", "127.0.0.1:8080", "file:///home/me", "about:blank", "chrome://settings",
                          "javascript:alert(1)", "data:text/html,x", "http://", "http://:80", "http://host:",
                          "http://host:0", "http://host:65536", "http://host:8o", "http://user@host",
                          "http://ho st", "http://[::1", "http://[]:80", "http://[::1]x", "ftp://host", "*"}) {
    EXPECT_FALSE(NormalizeOrigin(bad, &origin)) << bad;
  }
  EXPECT_EQ("unchanged", origin);

  std::vector<std::string> refused;
  std::vector<std::string> origins =
      NormalizeOrigins({"http://127.0.0.1:1/", "file:///x", "http://127.0.0.1:1", "https://a.test"}, &refused);
  EXPECT_EQ((std::vector<std::string>{"http://127.0.0.1:1", "https://a.test"}), origins);
  EXPECT_EQ((std::vector<std::string>{"file:///x"}), refused);
}

TEST(WebpageOrigin, OnlyListedOriginsAreTrusted) {
  std::vector<std::string> trusted = {"http://127.0.0.1:8080"};
  EXPECT_TRUE(IsTrustedOrigin(trusted, "http://127.0.0.1:8080"));
  EXPECT_FALSE(IsTrustedOrigin(trusted, "http://127.0.0.1:8081"));
  EXPECT_FALSE(IsTrustedOrigin(trusted, "https://127.0.0.1:8080"));
  EXPECT_FALSE(IsTrustedOrigin(trusted, "http://127.0.0.1:8080.evil.test"));
  EXPECT_FALSE(IsTrustedOrigin(trusted, ""));
  EXPECT_FALSE(IsTrustedOrigin(trusted, "null"));
  EXPECT_FALSE(IsTrustedOrigin({}, "http://127.0.0.1:8080"));
}

}  // namespace
}  // namespace webpage
