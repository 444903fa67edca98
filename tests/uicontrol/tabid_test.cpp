// What a fresh process starts with: tab IDs from 1, the audio flag off.
#include <gtest/gtest.h>

#include "fixture.h"

class TabIdTest : public LibraryTest {};

TEST_F(TabIdTest, StartAtOneAndAreNeverReused) {
  EXPECT_FALSE(tm.IsAudioEnable()) << "the audio flag starts off";
  EXPECT_EQ(tm.AddTab(L"http://a/", 0), 1u);
  EXPECT_EQ(tm.AddTab(L"http://b/", 0), 2u);
  EXPECT_TRUE(tm.CloseTab(2));
  EXPECT_EQ(tm.AddTab(L"http://c/", 0), 3u);
  EXPECT_EQ(tm.AddTab(L"", 0), 0u);         // a failure takes no ID
  EXPECT_EQ(tm.RestoreTab(L"uuid"), 4u);
  EXPECT_EQ(tm.AddLinkTab(L"", 99), 0u);    // unknown parent: the ID is spent
  EXPECT_EQ(tm.AddTab(L"http://d/", 0), 6u);
}
