// "__cast", "__cast_unsafe", "__const" and the type queries.
#include "fixture.h"

namespace uibind_test {
namespace {

struct Animal {
  virtual ~Animal() = default;
  int legs = 4;
};
struct Named {
  virtual ~Named() = default;
  std::string name = "rex";
};
struct Dog : Animal, Named {
  int Bark() const { return 1; }
};
struct Cat : Animal {
  int lives = 9;
};
struct Stone {};
struct Kennel {
  Dog dog;
  bool empty = false;
};
Animal* Resident(Kennel* k) { return k->empty ? nullptr : &k->dog; }
int LegsOf(const Animal& a) { return a.legs; }
struct Flat {};
struct FlatChild : Flat {};

class CastsTest : public LuaFixture {
 protected:
  CastsTest() {
    uibind::Class<Animal> animal("Animal");
    animal.Member("legs", &Animal::legs);
    uibind::Class<Named> named("Named");
    named.Member("name", &Named::name);
    uibind::Class<Dog> dog("Dog");
    dog.Constructor<>().Inherits<Animal>().Inherits<Named>().Method("Bark", &Dog::Bark);
    uibind::Class<Cat> cat("Cat");
    cat.Constructor<>().Inherits<Animal>().Member("lives", &Cat::lives);
    uibind::Class<Stone> stone("Stone");
    stone.Constructor<>();
    uibind::Class<Flat> flat("Flat");
    uibind::Class<FlatChild> child("FlatChild");
    child.Constructor<>().Inherits<Flat>();
    EXPECT_TRUE(host->Insert(std::move(animal)));
    EXPECT_TRUE(host->Insert(std::move(named)));
    EXPECT_TRUE(host->Insert(std::move(dog)));
    EXPECT_TRUE(host->Insert(std::move(cat)));
    EXPECT_TRUE(host->Insert(std::move(stone)));
    EXPECT_TRUE(host->Insert(std::move(flat)));
    EXPECT_TRUE(host->Insert(std::move(child)));
    EXPECT_EQ(Run("d = Dog()"), "");
  }
};

TEST_F(CastsTest, UpDownSidewaysAndUnrelated) {
  EXPECT_EQ(String("__get_typeex(__cast(d, 'Animal'))"), "Animal");
  EXPECT_EQ(Number("__cast(d, Animal).legs"), 4);
  EXPECT_EQ(String("__cast(d, 'Named').name"), "rex");
  EXPECT_EQ(Number("__cast(__cast(d, 'Animal'), 'Dog').Bark()"), 1);
  // A base does not know its siblings: only the object's own class chain is searched.
  EXPECT_EQ(Run("assert(__cast(__cast(d, 'Animal'), 'Named') == nil)"), "");
  // Up to the common base, then down: refused by the run-time check for another animal.
  EXPECT_EQ(Run("assert(__cast(d, 'Cat') == nil)"), "");
  EXPECT_EQ(Number("__cast(__cast(Cat(), 'Animal'), 'Cat').lives"), 9);
  EXPECT_EQ(Run("assert(__cast(d, 'Stone') == nil)"), "");
  EXPECT_EQ(Run("assert(__cast(Stone(), 'Dog') == nil)"), "");
  // Without a vtable the down-cast is refused.
  EXPECT_EQ(Run("assert(__cast(__cast(FlatChild(), 'Flat'), 'FlatChild') == nil)"), "");
}

TEST_F(CastsTest, CastToOwnClassGivesANonOwnedViewKeepingConstness) {
  EXPECT_EQ(String("__get_typeex(d)"), "Dog owned");
  EXPECT_EQ(String("__get_typeex(__cast(d, 'Dog'))"), "Dog");
  EXPECT_EQ(String("__get_typeex(__cast(__const(Dog()), 'Animal'))"), "Animal const");
}

TEST_F(CastsTest, CastErrors) {
  EXPECT_EQ(Fail("__cast(d)"), "LuaCast: missings parameters");
  EXPECT_EQ(Fail("__cast(1, 'Dog')"), "LuaCast: missings parameters");
  EXPECT_EQ(Fail("__cast(d, 5)"), "LuaCast: can't retreive target type name");
  EXPECT_EQ(Fail("__cast(d, {})"), "LuaCast: can't retreive target type name");
  EXPECT_EQ(Fail("__cast(d, 'Wolf')"), "LuaCast: can't target generic class for Wolf");
  EXPECT_EQ(Fail("__cast_unsafe(d)"), "LuaCastUnsafe: missings parameters");
  EXPECT_EQ(Fail("__cast_unsafe('x', 'Dog')"), "LuaCastUnsafe: missings parameters");
  EXPECT_EQ(Fail("__cast_unsafe(d, false)"), "LuaCastUnsafe: can't retreive target type name");
}

TEST_F(CastsTest, UnsafeCastWrapsThePointerUnchanged) {
  EXPECT_EQ(String("__get_typeex(__cast_unsafe(__const(Dog()), Dog))"), "Dog const");
  EXPECT_EQ(Run("assert(__cast_unsafe(d, 'Wolf') == nil)"), "");
  EXPECT_EQ(Number("__cast_unsafe(d, 'Animal').legs"), 4);  // Animal is Dog's first base
}

TEST_F(CastsTest, ConstFlagCanBeSetAndCleared) {
  EXPECT_EQ(String("__get_typeex(__const(d))"), "Dog const owned");
  EXPECT_EQ(String("__get_typeex(__const(d, false))"), "Dog owned");
  EXPECT_EQ(String("__get_typeex(__const(d, true))"), "Dog const owned");
  EXPECT_EQ(Number("__const(5)"), 5);
  EXPECT_EQ(Run("assert(__const() == nil)"), "");
}

TEST_F(CastsTest, TypeQueries) {
  EXPECT_EQ(String("__get_type()"), "nil");
  EXPECT_EQ(String("__get_type(1)"), "number");
  EXPECT_EQ(String("__get_type(d, 'x')"), "string");  // the last argument counts
  EXPECT_EQ(String("__get_type('x', d)"), "Dog");
  EXPECT_EQ(String("__get_typeex(nil)"), "nil");
  EXPECT_EQ(String("__get_type(io.stdout)"), "userdata");
  EXPECT_EQ(String("__get_rtti_type(d)"), typeid(uibind::impl::CustomClass<Dog>).name());
  EXPECT_EQ(String("__get_rtti_type({})"), "table");
  lua_pushlightuserdata(L, this);
  lua_setglobal(L, "raw");
  EXPECT_EQ(String("__get_type(raw)"), "raw pointer");
  EXPECT_EQ(String("__get_typeex(__cast_unsafe(raw, 'Stone'))"), "Stone");
}

TEST_F(CastsTest, DeclaredUpCastsConvertArgumentsAndCasts) {
  uibind::Class<Kennel> kennel("Kennel");
  kennel.Constructor<>().UpCast<Animal>(&Resident).Member("empty", &Kennel::empty);
  ASSERT_TRUE(host->Insert(std::move(kennel)));
  ASSERT_TRUE(host->Insert(uibind::Function("LegsOf", &LegsOf)));
  EXPECT_EQ(Number("LegsOf(Kennel())"), 4);
  EXPECT_EQ(Number("__cast(Kennel(), 'Animal').legs"), 4);
  EXPECT_EQ(Run("local k = Kennel(); k.empty = true; assert(__cast(k, 'Animal') == nil)"), "");
  EXPECT_NE(Fail("local k = Kennel(); k.empty = true; LegsOf(k)").find("can't convert an object of 'Kennel'"),
            std::string::npos);
  // Field lookups go through declared conversions as through bases.
  EXPECT_EQ(Number("Kennel().legs"), 4);
}

}  // namespace
}  // namespace uibind_test
