#pragma once
// EasyList and EasyPrivacy as installed, loaded once per test program, with the
// benchmark's request set; the tests skip when the lists are not installed.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bench/contentfilter/request_corpus.h"
#include "components/contentfilter/contentfilter.h"

class EasyListTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto lists = contentfilter::InstalledEasyLists();
    if (lists.size() < 2) return;
    contentfilter::FilterSetBuilder builder;
    for (const auto& path : lists) builder.AddListFile(path);
    s_set = builder.Build();
    s_requests = contentfilter_bench::BuildRequestCorpus(lists, 6000);
  }
  static void TearDownTestSuite() {
    s_set.reset();
    s_requests.clear();
  }
  void SetUp() override {
    if (!s_set) GTEST_SKIP() << "EasyList and EasyPrivacy are not installed (webext-ublock-origin-firefox)";
  }
  static inline std::shared_ptr<const contentfilter::FilterSet> s_set;
  static inline std::vector<contentfilter_bench::CorpusRequest> s_requests;
};
