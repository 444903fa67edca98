// Parsing of network rules: "[@@]pattern[$option,option...]".
#include <cstring>

#include "components/contentfilter/address.h"
#include "components/contentfilter/network_rule.h"

namespace contentfilter {

namespace {

struct TypeName {
  const char* name;
  uint32_t bits;
};
// Type options and the usual short names for them.
const TypeName kTypeNames[] = {
    {"document", TypeBit(ResourceType::Document)},
    {"doc", TypeBit(ResourceType::Document)},
    {"subdocument", TypeBit(ResourceType::Subdocument)},
    {"frame", TypeBit(ResourceType::Subdocument)},
    {"script", TypeBit(ResourceType::Script)},
    {"image", TypeBit(ResourceType::Image)},
    {"stylesheet", TypeBit(ResourceType::Stylesheet)},
    {"css", TypeBit(ResourceType::Stylesheet)},
    {"xmlhttprequest", TypeBit(ResourceType::XmlHttpRequest)},
    {"xhr", TypeBit(ResourceType::XmlHttpRequest)},
    {"font", TypeBit(ResourceType::Font)},
    {"media", TypeBit(ResourceType::Media)},
    {"object", TypeBit(ResourceType::Object)},
    {"ping", TypeBit(ResourceType::Ping)},
    {"beacon", TypeBit(ResourceType::Ping)},
    {"websocket", TypeBit(ResourceType::WebSocket)},
    {"other", TypeBit(ResourceType::Other)},
};

uint32_t TypeBitsOf(std::string_view name) {
  for (const TypeName& t : kTypeNames) {
    if (name == t.name) return t.bits;
  }
  return 0;
}

// Splits "pattern$options". Regex rules end at their closing slash, and their
// expression may hold "$" itself; options never hold "/".
void SplitOptions(std::string_view body, std::string_view& pattern, std::string_view& options, bool& hasOptions) {
  hasOptions = false;
  pattern = body;
  if (body.size() >= 2 && body[0] == '/') {
    const size_t slashDollar = body.rfind("/$");
    if (slashDollar != std::string_view::npos && slashDollar > 0) {
      pattern = body.substr(0, slashDollar + 1);
      options = body.substr(slashDollar + 2);
      hasOptions = true;
      return;
    }
    if (body.back() == '/') return;
  }
  const size_t dollar = body.rfind('$');
  if (dollar == std::string_view::npos) return;
  // A "$" inside the address, unless an option value ("csp=... https://") holds the "/".
  const size_t slash = body.find('/', dollar);
  if (slash != std::string_view::npos && body.substr(dollar, slash - dollar).find('=') == std::string_view::npos) return;
  pattern = body.substr(0, dollar);
  options = body.substr(dollar + 1);
  hasOptions = true;
}

bool ParseOptions(std::string_view options, bool exception, NetworkRule& rule, NetworkRule::Extras& extras,
                  SkipReason& reason) {
  uint32_t positive = 0;
  uint32_t negative = 0;
  bool sawParty = false;
  size_t start = 0;
  while (start <= options.size()) {
    size_t comma = options.find(',', start);
    if (comma == std::string_view::npos) comma = options.size();
    std::string_view item = options.substr(start, comma - start);
    start = comma + 1;
    if (item.empty()) {
      reason = SkipReason::EmptyOption;
      return false;
    }
    bool negated = false;
    if (item[0] == '~') {
      negated = true;
      item.remove_prefix(1);
    }
    const size_t eq = item.find('=');
    const std::string name = LowerAscii(item.substr(0, eq));
    if (eq != std::string_view::npos) {
      if ((name != "domain" && name != "from") || negated) {
        reason = name == "domain" ? SkipReason::BadOptionValue : SkipReason::UnsupportedOption;
        return false;
      }
      std::string_view value = item.substr(eq + 1);
      if (value.empty()) {
        reason = SkipReason::BadOptionValue;
        return false;
      }
      size_t from = 0;
      while (from <= value.size()) {
        size_t bar = value.find('|', from);
        if (bar == std::string_view::npos) bar = value.size();
        if (!AddDomainItem(value.substr(from, bar - from), extras.domains)) {
          reason = SkipReason::UnsupportedDomain;
          return false;
        }
        from = bar + 1;
      }
      continue;
    }
    if (const uint32_t bits = TypeBitsOf(name)) {
      (negated ? negative : positive) |= bits;
      continue;
    }
    if (name == "third-party" || name == "3p" || name == "first-party" || name == "1p") {
      const bool third = (name == "third-party" || name == "3p") != negated;
      const Party party = third ? Party::ThirdOnly : Party::FirstOnly;
      if (sawParty && rule.party != party) {
        reason = SkipReason::BadOptionValue;
        return false;
      }
      sawParty = true;
      rule.party = party;
      continue;
    }
    if (name == "match-case") {
      rule.matchCase = !negated;
      continue;
    }
    if (exception && !negated && (name == "elemhide" || name == "ehide")) {
      positive |= kElemHideBit;
      continue;
    }
    if (exception && !negated && (name == "generichide" || name == "ghide")) {
      positive |= kGenericHideBit;
      continue;
    }
    reason = SkipReason::UnsupportedOption;
    return false;
  }
  rule.typeBits = (positive ? positive : kDefaultTypeBits) & ~negative;
  if (rule.typeBits == 0) {
    reason = SkipReason::BadOptionValue;
    return false;
  }
  extras.domains.Sort();
  return true;
}

bool ParsePattern(std::string_view pattern, NetworkRule& rule, NetworkRule::Extras& extras, SkipReason& reason) {
  if (pattern.size() >= 2 && pattern.front() == '/' && pattern.back() == '/') {
    extras.regexSource = std::string(pattern.substr(1, pattern.size() - 2));
    extras.regex = CompileRegexRule(extras.regexSource, rule.matchCase, reason);
    return extras.regex != nullptr;
  }
  if (pattern.find_first_of(" \t") != std::string_view::npos) {
    reason = SkipReason::Malformed;
    return false;
  }
  if (pattern.substr(0, 2) == "||") {
    rule.anchorDomain = true;
    pattern.remove_prefix(2);
  } else if (!pattern.empty() && pattern[0] == '|') {
    rule.anchorStart = true;
    pattern.remove_prefix(1);
  }
  if (!pattern.empty() && pattern.back() == '|') {
    rule.anchorEnd = true;
    pattern.remove_suffix(1);
  }
  // A "|" anywhere else is the character itself.
  // Wildcards at either end say nothing; neither do anchors next to them.
  if (!pattern.empty() && pattern.front() == '*') rule.anchorStart = rule.anchorDomain = false;
  if (!pattern.empty() && pattern.back() == '*') rule.anchorEnd = false;
  while (!pattern.empty() && pattern.front() == '*') pattern.remove_prefix(1);
  while (!pattern.empty() && pattern.back() == '*') pattern.remove_suffix(1);
  if (pattern.empty() && (rule.anchorDomain || rule.anchorEnd)) {
    reason = SkipReason::Malformed;
    return false;
  }
  size_t start = 0;
  while (start <= pattern.size()) {
    size_t star = pattern.find('*', start);
    if (star == std::string_view::npos) star = pattern.size();
    if (star > start || rule.segments.empty()) {
      std::string_view part = pattern.substr(start, star - start);
      rule.segments.push_back(rule.matchCase ? std::string(part) : LowerAscii(part));
    }
    start = star + 1;
  }
  return true;
}

}  // namespace

bool ParseNetworkRule(std::string_view line, NetworkRule& rule, SkipReason& reason) {
  rule.text = std::string(line);
  std::string_view body = line;
  if (body.substr(0, 2) == "@@") {
    rule.exception = true;
    body.remove_prefix(2);
  }
  std::string_view pattern, options;
  bool hasOptions = false;
  SplitOptions(body, pattern, options, hasOptions);
  NetworkRule::Extras extras;
  if (hasOptions && !ParseOptions(options, rule.exception, rule, extras, reason)) return false;
  if (!ParsePattern(pattern, rule, extras, reason)) return false;
  const bool unrestricted = !hasOptions || (extras.domains.include.empty() && rule.party == Party::Any &&
                                            rule.typeBits == kDefaultTypeBits);
  if (!extras.regex && rule.segments.size() == 1 && rule.segments[0].empty() && !rule.anchorStart && unrestricted) {
    reason = SkipReason::MatchesEverything;
    return false;
  }
  if (extras.regex || !extras.domains.empty()) rule.extras = std::make_shared<const NetworkRule::Extras>(std::move(extras));
  return true;
}

const DomainList& NetworkRule::domains() const {
  static const DomainList kNone;
  return extras ? extras->domains : kNone;
}

size_t NetworkRule::MemoryBytes() const {
  size_t bytes = sizeof(NetworkRule) + (text.capacity() > 15 ? text.capacity() + 1 : 0);
  bytes += segments.capacity() * sizeof(std::string);
  for (const auto& s : segments) bytes += s.capacity() > 15 ? s.capacity() + 1 : 0;
  if (!extras) return bytes;
  bytes += sizeof(Extras) + 16 + extras->domains.MemoryBytes();  // 16: the shared count
  const std::string& source = extras->regexSource;
  bytes += source.capacity() > 15 ? source.capacity() + 1 : 0;
  if (extras->regex) bytes += sizeof(std::regex) + 64 * source.size();  // compiled automaton, roughly
  return bytes;
}

}  // namespace contentfilter
