#include "components/contentfilter/network_matcher.h"

#include <unordered_map>

namespace contentfilter {

Request::Request(std::string_view u, std::string_view documentUrl, uint32_t bits) : url(u), typeBits(bits) {
  lowerUrl = LowerAscii(url);
  hasAddress = SplitAddress(url, address);
  if (!documentUrl.empty() && documentUrl == url) {  // a document checked as its own request
    documentHost = address.host;
    hasDocument = hasAddress;
  } else if (!documentUrl.empty()) {
    AddressParts document;
    if (SplitAddress(documentUrl, document)) {
      documentHost = std::move(document.host);
      hasDocument = true;
    }
  }
  ForEachTokenHash(lowerUrl, [this](uint64_t hash) {
    if (inlineCount < kInlineTokens) inlineTokens[inlineCount++] = hash;
    else moreTokens.push_back(hash);
  });
}

namespace {
// The last two labels ("www.example.co.uk" -> "co.uk"); all of a shorter host.
std::string_view LastTwoLabels(std::string_view host) {
  const size_t last = host.rfind('.');
  if (last == std::string_view::npos || last == 0) return host;
  const size_t before = host.rfind('.', last - 1);
  return before == std::string_view::npos ? host : host.substr(before + 1);
}
}  // namespace

bool Request::ThirdParty() const {
  if (m_thirdParty < 0) {
    if (!hasDocument || !hasAddress || address.host == documentHost) {
      m_thirdParty = 0;
    } else if (LastTwoLabels(address.host) != LastTwoLabels(documentHost)) {
      // A registrable domain ends with its host's last two labels: when those differ,
      // so do the sites, without asking the suffix list (the slow part).
      m_thirdParty = 1;
    } else {
      m_thirdParty = RegistrableDomain(address.host) != RegistrableDomain(documentHost);
    }
  }
  return m_thirdParty == 1;
}

PatternSubject Request::Subject() const {
  PatternSubject s;
  s.url = url;
  s.lowerUrl = lowerUrl;
  if (hasAddress) {
    s.hostBegin = address.hostBegin;
    s.hostEnd = address.hostEnd;
  }
  return s;
}

namespace {
// Tokens that nearly every address holds: a rule filed under one of them would be tried
// for nearly every request, so any other token of the rule is preferred.
bool IsCommonAddressToken(const std::string& token) {
  static const char* const kCommon[] = {"http", "https", "www", "com", "net", "org", "html", "js", "php",
                                        "jpg", "png", "gif", "css", "cdn", "static", "api", "v1", "v2"};
  for (const char* c : kCommon) {
    if (token == c) return true;
  }
  return false;
}
}  // namespace

void RuleSet::Index() {
  std::vector<std::vector<std::string>> tokens(m_rules.size());
  std::unordered_map<std::string, uint32_t> frequency;
  for (size_t i = 0; i < m_rules.size(); ++i) {
    tokens[i] = RuleTokens(m_rules[i]);
    for (const auto& t : tokens[i]) ++frequency[t];
  }
  std::vector<std::pair<uint64_t, uint32_t>> byToken, byDomain;
  m_untokenised.clear();
  for (size_t i = 0; i < m_rules.size(); ++i) {
    const uint32_t id = static_cast<uint32_t>(i);
    const std::string* chosen = nullptr;
    uint64_t chosenCost = 0;
    for (const auto& t : tokens[i]) {
      // The rarest token among the rules; the common address tokens last; longer on ties.
      uint64_t cost = (static_cast<uint64_t>(frequency[t]) + (IsCommonAddressToken(t) ? 1000000 : 0)) * 64;
      cost += 63 - std::min<size_t>(t.size(), 63);
      if (!chosen || cost < chosenCost) {
        chosen = &t;
        chosenCost = cost;
      }
    }
    if (chosen) {
      byToken.emplace_back(TokenHash(*chosen), id);
    } else if (!m_rules[i].domains().include.empty()) {
      for (const auto& d : m_rules[i].domains().include) byDomain.emplace_back(TokenHash(d), id);
    } else {
      m_untokenised.push_back({id, m_rules[i].typeBits});
    }
  }
  std::vector<uint32_t> typeBits;
  for (const NetworkRule& rule : m_rules) typeBits.push_back(rule.typeBits);
  m_byToken.Build(std::move(byToken), typeBits);
  m_byDomain.Build(std::move(byDomain), typeBits);
}

bool RuleSet::Applies(const NetworkRule& rule, const Request& request) const {
  if (!(rule.typeBits & request.typeBits)) return false;
  if (!PatternMatches(rule, request.Subject())) return false;
  if (rule.party != Party::Any && request.ThirdParty() != (rule.party == Party::ThirdOnly)) return false;
  if (rule.extras && !rule.extras->domains.empty()) {
    const DomainList& domains = rule.extras->domains;
    return request.hasDocument ? domains.Admits(request.documentHost) : domains.include.empty();
  }
  return true;
}

void RuleSet::TryRun(const TokenTable::Entry* begin, const TokenTable::Entry* end, const Request& request,
                     uint32_t& best) const {
  for (const TokenTable::Entry* it = begin; it != end && it->rule < best; ++it) {
    if ((it->typeBits & request.typeBits) && Applies(m_rules[it->rule], request)) {
      best = it->rule;
      return;
    }
  }
}

const NetworkRule* RuleSet::FindFirst(const Request& request) const {
  uint32_t best = UINT32_MAX;
  request.ForEachToken([&](uint64_t token) {
    const auto run = m_byToken.Find(token);
    TryRun(run.first, run.second, request, best);
  });
  if (request.hasDocument) {
    ForEachHostSuffix(request.documentHost, [&](std::string_view suffix) {
      const auto run = m_byDomain.Find(TokenHash(suffix));
      TryRun(run.first, run.second, request, best);
      return false;
    });
  }
  TryRun(m_untokenised.data(), m_untokenised.data() + m_untokenised.size(), request, best);
  return best == UINT32_MAX ? nullptr : &m_rules[best];
}

const NetworkRule* RuleSet::FindFirstByScan(const Request& request) const {
  for (const NetworkRule& rule : m_rules) {
    if (Applies(rule, request)) return &rule;
  }
  return nullptr;
}

size_t RuleSet::MemoryBytes() const {
  size_t bytes = m_byToken.MemoryBytes() + m_byDomain.MemoryBytes() +
                 m_untokenised.capacity() * sizeof(TokenTable::Entry);
  bytes += (m_rules.capacity() - m_rules.size()) * sizeof(NetworkRule);
  for (const auto& r : m_rules) bytes += r.MemoryBytes();
  return bytes;
}

}  // namespace contentfilter
