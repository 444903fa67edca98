#include <gtest/gtest.h>

#include <atomic>

#include "platform/window.h"

TEST(WindowTable, TracksParentAndVisibility) {
  HWND main = platform::CreateWindowHandle();
  HWND web = platform::CreateWindowHandle();
  ASSERT_TRUE(IsWindow(main));
  EXPECT_FALSE(IsWindow(nullptr));
  EXPECT_LE(HandleValue(web), 0xFFFFFFFFu) << "handles must fit 32 bits";

  EXPECT_EQ(ShowWindow(web, SW_SHOW), 0);
  EXPECT_TRUE(platform::IsWindowVisible(web));
  EXPECT_EQ(ShowWindow(web, SW_HIDE), 1);
  EXPECT_FALSE(platform::IsWindowVisible(web));

  SetParent(web, main);
  EXPECT_EQ(platform::GetParentWindow(web), main);
  SetParent(web, GetDesktopWindow());
  EXPECT_EQ(platform::GetParentWindow(web), GetDesktopWindow());

  platform::DestroyWindowHandle(web);
  EXPECT_FALSE(IsWindow(web));
  EXPECT_EQ(ShowWindow(web, SW_SHOW), 0);
  EXPECT_EQ(SetParent(web, main), nullptr);
  EXPECT_EQ(ShowWindow(nullptr, SW_SHOW), 0);
}

TEST(WindowTable, BackendSeesChanges) {
  std::atomic<int> shows{0}, parents{0};
  platform::SetWindowBackend({[&](HWND, bool) { ++shows; }, [&](HWND, HWND) { ++parents; }});
  HWND w = platform::CreateWindowHandle();
  ShowWindow(w, SW_SHOW);
  SetParent(w, GetDesktopWindow());
  platform::SetWindowBackend({});
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(parents, 1);
}
