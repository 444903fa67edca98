#pragma once
// The network rules of one kind (blocking or exceptions) with their token index.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "components/contentfilter/address.h"
#include "components/contentfilter/network_rule.h"
#include "components/contentfilter/token_table.h"

namespace contentfilter {

// A request as the rules see it, split once.
class Request {
 public:
  Request(std::string_view url, std::string_view documentUrl, uint32_t typeBits);

  std::string_view url;
  std::string lowerUrl;
  AddressParts address;
  bool hasAddress = false;
  std::string documentHost;
  bool hasDocument = false;
  uint32_t typeBits;
  // The tokens' hashes: most addresses have fewer than kInlineTokens, kept without
  // an allocation; the rest go to moreTokens.
  static constexpr size_t kInlineTokens = 48;
  uint64_t inlineTokens[kInlineTokens];
  size_t inlineCount = 0;
  std::vector<uint64_t> moreTokens;
  template <typename F>
  void ForEachToken(F&& visit) const {
    for (size_t i = 0; i < inlineCount; ++i) visit(inlineTokens[i]);
    for (uint64_t token : moreTokens) visit(token);
  }

  // Whether the request goes to another site (registrable domain) than its document's;
  // false without a document. Worked out on first use: most requests never need it.
  bool ThirdParty() const;
  PatternSubject Subject() const;

 private:
  mutable int m_thirdParty = -1;
};

class RuleSet {
 public:
  // Rules are added in list order; Index() must run before FindFirst.
  void Add(NetworkRule rule) { m_rules.push_back(std::move(rule)); }
  void Index();

  // The first rule in list order that applies to the request, or nullptr; through the
  // index, or by trying every rule.
  const NetworkRule* FindFirst(const Request& request) const;
  const NetworkRule* FindFirstByScan(const Request& request) const;

  size_t size() const { return m_rules.size(); }
  size_t UntokenisedCount() const { return m_untokenised.size(); }
  size_t MemoryBytes() const;

 private:
  bool Applies(const NetworkRule& rule, const Request& request) const;
  void TryRun(const TokenTable::Entry* begin, const TokenTable::Entry* end, const Request& request,
              uint32_t& best) const;

  std::vector<NetworkRule> m_rules;
  TokenTable m_byToken;
  TokenTable m_byDomain;  // tokenless rules limited to domains, under each domain's hash
  std::vector<TokenTable::Entry> m_untokenised;
};

}  // namespace contentfilter
