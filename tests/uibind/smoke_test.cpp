#include "fixture.h"
namespace uibind_test {
namespace {
struct W { unsigned f(unsigned x) { return x + 1; } };
class Smoke : public LuaFixture {};
TEST_F(Smoke, Works) {
  uibind::Class<W> w("W");
  w.Constructor<>().Method("f", &W::f);
  ASSERT_TRUE(host->Insert(std::move(w)));
  EXPECT_EQ(Number("W().f(3)"), 4);
}
}
}
