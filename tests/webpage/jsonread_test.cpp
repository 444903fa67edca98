// Numbers from Chromium and from pages become integers only after a range check.
#include "components/webpage/jsonread.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace webpage {
namespace {

bool Whole(const Json& value, long long min, long long max, long long* out) {
  return ReadWholeNumber(value, min, max, out);
}

TEST(WebpageJsonRead, WholeNumbersInRangeAreRead) {
  long long out = -7;
  EXPECT_TRUE(Whole(Json::parse("0"), 0, 10, &out));
  EXPECT_EQ(0, out);
  EXPECT_TRUE(Whole(Json::parse("-5"), -10, 10, &out));
  EXPECT_EQ(-5, out);
  EXPECT_TRUE(Whole(Json::parse("4294967295"), 0, 4294967295LL, &out));
  EXPECT_EQ(4294967295LL, out);
  EXPECT_TRUE(Whole(Json::parse("200.0"), 0, 999, &out)) << "a float without a fraction is a whole number";
  EXPECT_EQ(200, out);
  EXPECT_TRUE(Whole(Json::parse("-0.0"), 0, 1, &out));
  EXPECT_EQ(0, out);
  EXPECT_TRUE(Whole(Json::parse("9223372036854775807"), LLONG_MIN, LLONG_MAX, &out));
  EXPECT_EQ(LLONG_MAX, out);
  EXPECT_TRUE(Whole(Json::parse("-9223372036854775808"), LLONG_MIN, LLONG_MAX, &out));
  EXPECT_EQ(LLONG_MIN, out);
  EXPECT_TRUE(Whole(Json(-9223372036854775808.0), LLONG_MIN, LLONG_MAX, &out)) << "-2^63 is exact as a double";
  EXPECT_EQ(LLONG_MIN, out);
}

TEST(WebpageJsonRead, NumbersOutOfRangeOrNotFiniteAreRefused) {
  const long long untouched = 12345;
  for (const char* text : {"1e300", "-1e300", "1.7976931348623157e308", "9223372036854775808", "18446744073709551615",
                           "18446744073709551616", "-9223372036854775809", "9.3e18", "4294967296", "-1", "1.5",
                           "0.000001", "\"7\"", "null", "true", "[1]", "{\"a\":1}"}) {
    long long out = untouched;
    EXPECT_FALSE(Whole(Json::parse(text), 0, 4294967295LL, &out)) << text;
    EXPECT_EQ(untouched, out) << text;
  }
  for (double bad : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN(), 9223372036854775808.0, 1e19, -1e19}) {
    long long out = untouched;
    EXPECT_FALSE(Whole(Json(bad), LLONG_MIN, LLONG_MAX, &out)) << bad;
    EXPECT_EQ(untouched, out);
  }
  long long out = untouched;
  EXPECT_FALSE(Whole(Json::parse("18446744073709551615"), LLONG_MIN, -1, &out)) << "unsigned against a negative range";
  EXPECT_FALSE(Whole(Json::parse("2147483648"), INT_MIN, INT_MAX, &out));
  EXPECT_FALSE(Whole(Json::parse("-2147483649"), INT_MIN, INT_MAX, &out));
  EXPECT_EQ(untouched, out);
}

TEST(WebpageJsonRead, FieldsTellAbsentFromRefused) {
  Json object = Json::parse(R"({"status": 404, "huge": 1e300, "text": "x", "nothing": null})");
  long long out = 0;
  std::string why;
  EXPECT_EQ(NumberRead::Read, ReadNumberField(object, "status", 0, 999, &out, &why));
  EXPECT_EQ(404, out);
  EXPECT_EQ(NumberRead::Absent, ReadNumberField(object, "missing", 0, 999, &out, &why));
  EXPECT_EQ(NumberRead::Absent, ReadNumberField(object, "nothing", 0, 999, &out, &why));
  EXPECT_EQ(NumberRead::Absent, ReadNumberField(Json::array(), "status", 0, 999, &out, &why));
  EXPECT_EQ(NumberRead::Refused, ReadNumberField(object, "huge", 0, 999, &out, &why));
  EXPECT_EQ("huge 1e+300 is not a whole number from 0 to 999", why);
  EXPECT_EQ(NumberRead::Refused, ReadNumberField(object, "text", 0, 999, &out, &why));
  EXPECT_EQ("text \"x\" is not a whole number from 0 to 999", why);
  Json infinite = Json::object();
  infinite["n"] = std::numeric_limits<double>::infinity();
  EXPECT_EQ(NumberRead::Refused, ReadNumberField(infinite, "n", 0, 999, &out, &why));
  EXPECT_EQ("n a value that is not finite is not a whole number from 0 to 999", why);
  EXPECT_EQ(404, out) << "a refused field leaves the output alone";
  EXPECT_EQ("x", JsonText(object, "text"));
  EXPECT_EQ("", JsonText(object, "status"));
  EXPECT_TRUE(JsonField(Json(3), "a").is_null());
}

}  // namespace
}  // namespace webpage
