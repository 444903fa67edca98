#include "host/filterlists.h"

#include <chrono>

#include "platform/text.h"

std::string DescribeFilterLoad(const contentfilter::LoadStats& stats, long long milliseconds) {
  std::string text = "content blocking: " + std::to_string(stats.files.size()) + " list(s) read in " +
                     std::to_string(milliseconds) + " ms: " + std::to_string(stats.lines) + " lines, " +
                     std::to_string(stats.blockingRules) + " blocking rules, " + std::to_string(stats.exceptionRules) +
                     " exceptions, " + std::to_string(stats.hidingRules) + " hiding rules, " +
                     std::to_string(stats.hidingExceptions) + " hiding exceptions, " + std::to_string(stats.comments) +
                     " comments; " + std::to_string(stats.skippedTotal()) + " skipped";
  std::string reasons;
  for (size_t i = 0; i < static_cast<size_t>(contentfilter::SkipReason::Count); ++i) {
    const auto reason = static_cast<contentfilter::SkipReason>(i);
    if (stats.skippedFor(reason) == 0) continue;
    reasons += (reasons.empty() ? "" : ", ") + std::to_string(stats.skippedFor(reason)) + " " +
               contentfilter::SkipReasonName(reason);
  }
  if (!reasons.empty()) text += " (" + reasons + ")";
  for (const std::string& file : stats.unreadFiles) text += "\n  not readable: " + file;
  for (const std::string& example : stats.skippedExamples) text += "\n  skipped " + example;
  return text;
}

std::vector<std::string> ReadSiteList(const std::wstring& text) {
  std::vector<std::string> hosts;
  const std::string narrow = platform::WideToUtf8(text);
  size_t start = 0;
  while (start < narrow.size()) {
    size_t end = narrow.find('\n', start);
    if (end == std::string::npos) end = narrow.size();
    if (end > start) hosts.push_back(narrow.substr(start, end - start));
    start = end + 1;
  }
  return hosts;
}

std::wstring WriteSiteList(const std::vector<std::string>& hosts) {
  std::string text;
  for (const std::string& host : hosts) text += (text.empty() ? "" : "\n") + host;
  return platform::Utf8ToWide(text);
}

CFilterListLoad::CFilterListLoad(std::shared_ptr<pagecore::CContentBlocker> blocker, std::vector<std::string> lists,
                                 std::string folder, std::vector<std::string> trustedOrigins, Log log)
    : m_thread([blocker = std::move(blocker), lists = std::move(lists), folder = std::move(folder),
                trusted = std::move(trustedOrigins), log = std::move(log)] {
        const auto start = std::chrono::steady_clock::now();
        contentfilter::FilterSetBuilder builder;
        for (const std::string& list : lists) builder.AddListFile(list);
        builder.AddListFolder(folder);  // a missing folder adds nothing
        for (const std::string& origin : trusted) builder.AddTrustedOrigin(origin);
        std::shared_ptr<const contentfilter::FilterSet> filters = builder.Build();
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        if (log) log(DescribeFilterLoad(filters->Stats(), took.count()));
        blocker->SetFilters(std::move(filters));
      }) {}

CFilterListLoad::~CFilterListLoad() {
  if (m_thread.joinable()) m_thread.join();
}
