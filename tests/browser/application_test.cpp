// The desktop browser's place on the session bus: one application id per profile folder,
// whatever its spelling; the bus found only where one answers; and no hand-over where no
// browser owns the profile's name (the caller then uses the socket).
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "browser/desktopapplication.h"
#include "desktop/privatebus.h"

namespace {

std::string Scratch() {
  static const std::string folder = [] {
    std::string path = ::testing::TempDir() + "application-test-" + std::to_string(getpid());
    std::system(("rm -rf '" + path + "' && mkdir -p '" + path + "/profile' '" + path + "/other'").c_str());
    symlink((path + "/profile").c_str(), (path + "/link").c_str());
    return path;
  }();
  return folder;
}

struct SpellingCase {
  const char* name;
  std::string spelling;  // under the scratch folder, or a path of its own
  bool sameAsProfile;    // names the folder "profile"
};

void PrintTo(const SpellingCase& c, std::ostream* out) { *out << c.name; }

class ApplicationId : public ::testing::TestWithParam<SpellingCase> {};

TEST_P(ApplicationId, IsValidAndTheSameForEverySpellingOfOneFolder) {
  const std::string profileId = browser::ApplicationIdForProfile(Scratch() + "/profile");
  const std::string id = browser::ApplicationIdForProfile(GetParam().spelling);
  EXPECT_TRUE(g_application_id_is_valid(id.c_str())) << id;
  EXPECT_LE(id.size(), 255u);
  if (GetParam().sameAsProfile) {
    EXPECT_EQ(id, profileId);
  } else {
    EXPECT_NE(id, profileId);
  }
}

std::string Relative(const std::string& path) {
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) return path;
  std::string up;
  for (const char* c = cwd; *c; ++c)
    if (*c == '/') up += "../";
  return up + path.substr(1);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, ApplicationId,
    ::testing::Values(SpellingCase{"TrailingSlash", Scratch() + "/profile/", true},
                      SpellingCase{"DotDot", Scratch() + "/other/../profile", true},
                      SpellingCase{"Symlink", Scratch() + "/link", true},
                      SpellingCase{"Relative", Relative(Scratch() + "/profile"), true},
                      SpellingCase{"OtherFolder", Scratch() + "/other", false},
                      SpellingCase{"NotMadeYet", Scratch() + "/not made/ünïcode\x01\xff", false},
                      SpellingCase{"VeryLong", Scratch() + "/" + std::string(4000, 'x'), false},
                      SpellingCase{"Empty", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct BusCase {
  const char* name;
  enum { Unset, Unreachable, Private } bus;
};

void PrintTo(const BusCase& c, std::ostream* out) { *out << c.name; }

class SessionBus : public ::testing::TestWithParam<BusCase> {};

TEST_P(SessionBus, IsUsedOnlyWhereOneAnswersAndHandsNothingToANameWithoutOwner) {
  if (GetParam().bus == BusCase::Private && !desktoptest::PrivateBus::Available()) GTEST_SKIP() << "needs dbus-daemon";
  desktoptest::PrivateBus* own = GetParam().bus == BusCase::Private ? new desktoptest::PrivateBus : nullptr;
  std::unique_ptr<desktoptest::PrivateBus> bus(own);
  if (bus) {
    ASSERT_TRUE(bus->Ok());
  }
  const std::string address = GetParam().bus == BusCase::Unset         ? std::string()
                              : GetParam().bus == BusCase::Unreachable ? "unix:path=" + Scratch() + "/no-bus"
                                                                       : bus->Address();
  desktoptest::BusEnvironment env(address);
  EXPECT_EQ(browser::SessionBusReachable(), GetParam().bus == BusCase::Private);
  std::string error;
  EXPECT_EQ(browser::HandOverThroughBus(browser::ApplicationIdForProfile(Scratch() + "/profile"), {"a.html"}, &error),
            -1);
  if (GetParam().bus != BusCase::Private) {
    EXPECT_FALSE(error.empty()) << "the reason is given for the log";
  }
}

INSTANTIATE_TEST_SUITE_P(Buses, SessionBus,
                         ::testing::Values(BusCase{"Unset", BusCase::Unset},
                                           BusCase{"Unreachable", BusCase::Unreachable},
                                           BusCase{"Private", BusCase::Private}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
