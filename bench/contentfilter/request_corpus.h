#pragma once
// The request addresses the benchmark times and the equivalence test checks: the
// addresses found in the HTML documentation under /usr/share/doc, and addresses made
// from the lists' own rules so that a good share of them match.
#include <string>
#include <vector>

#include "components/contentfilter/contentfilter.h"

namespace contentfilter_bench {

struct CorpusRequest {
  std::string url;
  std::string document;
  contentfilter::ResourceType type;
};

// Deterministic for the same files. ruleAddresses: at most that many made from rules.
std::vector<CorpusRequest> BuildRequestCorpus(const std::vector<std::string>& listPaths, size_t ruleAddresses);

}  // namespace contentfilter_bench
