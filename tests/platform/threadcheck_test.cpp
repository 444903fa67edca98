#include "platform/threadcheck.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(ThreadChecker, BindsToTheFirstThreadThatAsksAndRefusesOthers) {
  platform::CThreadChecker checker;
  bool otherFirst = false;
  std::thread([&] { otherFirst = checker.CalledOnValidThread(); }).join();
  EXPECT_TRUE(otherFirst) << "the first thread binds";
  EXPECT_FALSE(checker.CalledOnValidThread());
  checker.Detach();
  EXPECT_TRUE(checker.CalledOnValidThread());
  EXPECT_TRUE(checker.CalledOnValidThread());
  bool other = true;
  std::thread([&] { other = checker.CalledOnValidThread(); }).join();
  EXPECT_FALSE(other);
}

TEST(ThreadCheckerDeathTest, ACallOnTheWrongThreadStopsTheProcessWithItsPlace) {
#if UICONTROL_THREAD_CHECKS
  platform::CThreadChecker checker(std::this_thread::get_id());
  EXPECT_DEATH(std::thread([&] { UICONTROL_CHECK_THREAD(checker.CalledOnValidThread()); }).join(),
               "called on the wrong thread");
#else
  GTEST_SKIP() << "thread checks are compiled out in this build";
#endif
}

}  // namespace
