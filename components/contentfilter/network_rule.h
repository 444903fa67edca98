#pragma once
// One network rule of a list, parsed: its pattern, anchors and options.
#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "components/contentfilter/contentfilter.h"
#include "components/contentfilter/domain_list.h"

namespace contentfilter {

// Type bits: one per ResourceType, and two that only exceptions carry, for element hiding.
constexpr uint32_t TypeBit(ResourceType type) { return 1u << static_cast<unsigned>(type); }
constexpr uint32_t kElemHideBit = 1u << 12;
constexpr uint32_t kGenericHideBit = 1u << 13;
constexpr uint32_t kAllResourceBits = (1u << 12) - 1;
// A rule without a type option applies to every type but the document itself.
constexpr uint32_t kDefaultTypeBits = kAllResourceBits & ~TypeBit(ResourceType::Document);

enum class Party : int8_t { Any, ThirdOnly, FirstOnly };

struct NetworkRule {
  std::string text;      // the line as written, for logs
  uint32_t order = 0;    // position among the network rules of the set (list order)
  bool exception = false;
  bool matchCase = false;
  bool anchorStart = false;   // "|" at the start: the address begins with the pattern
  bool anchorDomain = false;  // "||": the pattern begins at the host or one of its labels
  bool anchorEnd = false;     // "|" at the end
  Party party = Party::Any;
  uint32_t typeBits = kDefaultTypeBits;
  // The pattern between "*" wildcards, lower case unless matchCase; "^" kept as is.
  std::vector<std::string> segments;
  // What only some rules have, apart so that the others stay small.
  struct Extras {
    DomainList domains;
    std::shared_ptr<const std::regex> regex;  // set for /regex/ rules (segments then empty)
    std::string regexSource;                  // the expression, for the tokens
  };
  std::shared_ptr<const Extras> extras;

  const DomainList& domains() const;
  const std::regex* regex() const { return extras ? extras->regex.get() : nullptr; }
  size_t MemoryBytes() const;
};

// Parses a network rule line (not a comment, not element hiding). False with the reason
// when the line is skipped.
bool ParseNetworkRule(std::string_view line, NetworkRule& rule, SkipReason& reason);

// The lower-case tokens every address the rule matches contains as whole tokens; empty
// when there is none (the rule then goes to the untokenised rules).
std::vector<std::string> RuleTokens(const NetworkRule& rule);

// What the pattern check needs of a request.
struct PatternSubject {
  std::string_view url;       // as requested
  std::string_view lowerUrl;  // lower case
  size_t hostBegin = 0;
  size_t hostEnd = 0;
};
bool PatternMatches(const NetworkRule& rule, const PatternSubject& subject);

// For /regex/ rules (regex_rule.cpp): compiles the expression, or gives the reason not to.
std::shared_ptr<const std::regex> CompileRegexRule(std::string_view source, bool matchCase, SkipReason& reason);
std::vector<std::string> RegexTokens(std::string_view source);

}  // namespace contentfilter
