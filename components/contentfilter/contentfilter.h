#pragma once
// Content filtering with lists in the Adblock Plus syntax (EasyList, EasyPrivacy):
// network rules that block or allow requests, and element hiding rules that give the CSS
// selectors to hide on a page.
//
// Use: fill a FilterSetBuilder with lists (text, files, a folder of *.txt), name the
// trusted origins (the browser's own served pages, for example "http://127.0.0.1:8765"),
// and Build() an immutable FilterSet. A FilterSet is shared as
// std::shared_ptr<const FilterSet>: any number of threads may call Match and the element
// hiding queries at once without a lock. Reloading builds a new set; holders of the old
// one keep it alive until they drop it.
//
// Trusted origins: a request whose origin (scheme, host and port; default ports left out)
// equals a trusted origin is never blocked. When a rule would have blocked it, Match
// answers Verdict::Trusted with that rule, so that the caller can log it. Pages of a
// trusted origin get no element hiding either.
//
// Bad input never fails a load: every line is either used or counted as skipped under a
// reason (LoadStats). A rule with an option the matcher does not know is skipped whole,
// never applied without that option.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace contentfilter {

// What a request loads; the document's own address is a Document request.
enum class ResourceType : uint8_t {
  Document,
  Subdocument,
  Script,
  Image,
  Stylesheet,
  XmlHttpRequest,
  Font,
  Media,
  Object,
  Ping,
  WebSocket,
  Other,
};

enum class Verdict : uint8_t {
  NoMatch,             // no blocking rule applies
  Blocked,             // a blocking rule applies and no exception does
  AllowedByException,  // a blocking rule applies, and so does an exception (rule: the exception)
  Trusted,             // a blocking rule applies but the request goes to a trusted origin
};

struct MatchResult {
  Verdict verdict = Verdict::NoMatch;
  // The rule that decided, as written in its list (empty for NoMatch); for
  // AllowedByException the exception, for Blocked and Trusted the blocking rule.
  std::string rule;
  bool blocked() const { return verdict == Verdict::Blocked; }
};

// Why a line was not used. Comments and blank lines are counted apart, not as skipped.
enum class SkipReason : uint8_t {
  Binary,                // control characters or invalid UTF-8
  LineTooLong,           // longer than kMaxLineLength
  UnsupportedOption,     // an option the matcher does not support ($redirect=, $csp=, $popup ...)
  EmptyOption,           // "$" with nothing after it, or an empty item between commas
  BadOptionValue,        // "domain=" empty or negated, contradictory options ("script,~script")
  BadRegex,              // a /regex/ rule the regex library rejects (unbalanced and so on)
  CostlyRegex,           // longer than kMaxRegexLength, nested quantifiers, back references
  Scriptlet,             // ##+js(...)
  ProceduralCosmetic,    // :has-text(...), :xpath(...) and other non-CSS selectors, #?#
  ExtendedCosmetic,      // #$# and "##selector { style }" (style injection), #@$#
  HtmlFilter,            // ##^
  BadSelector,           // would break out of its style rule: braces, comments, unbalanced
  UnsupportedDomain,     // domains with wildcards ("example.*") or regexes, empty domain items
  MatchesEverything,     // a network rule with no pattern and no restriction at all
  Malformed,             // a network pattern with white space, a lone "||"
  Count
};
const char* SkipReasonName(SkipReason reason);

constexpr size_t kMaxLineLength = 16 * 1024;
// Regex rules: the expression's length, and the longest address a regex is tried on
// (std::regex backtracks recursively; longer addresses are not matched by regex rules).
constexpr size_t kMaxRegexLength = 512;
constexpr size_t kMaxRegexSubjectLength = 2048;

struct LoadStats {
  size_t lines = 0;
  size_t comments = 0;          // "!" lines, "[Adblock Plus ...]" headers and blank lines
  size_t blockingRules = 0;
  size_t exceptionRules = 0;
  size_t hidingRules = 0;       // "##" rules
  size_t hidingExceptions = 0;  // "#@#" rules
  std::array<size_t, static_cast<size_t>(SkipReason::Count)> skipped{};
  std::vector<std::string> files;        // lists read
  std::vector<std::string> unreadFiles;  // lists named but not readable
  // The first few skipped lines, as "list:line: reason: text", for a log.
  std::vector<std::string> skippedExamples;

  size_t skippedTotal() const;
  size_t skippedFor(SkipReason reason) const { return skipped[static_cast<size_t>(reason)]; }
};

class FilterSetData;

class FilterSet {
 public:
  explicit FilterSet(std::unique_ptr<FilterSetData> data);
  ~FilterSet();
  FilterSet(const FilterSet&) = delete;
  FilterSet& operator=(const FilterSet&) = delete;

  // Decides a request. documentUrl is the page (or frame) the request comes from; empty
  // for a top-level navigation. Addresses are absolute ("https://host/path").
  MatchResult Match(const std::string& url, const std::string& documentUrl, ResourceType type) const;
  // The same decision by trying every rule in list order, without the index: the
  // baseline of the benchmark and the reference of the tests. Always equals Match.
  MatchResult MatchByScan(const std::string& url, const std::string& documentUrl, ResourceType type) const;

  // The CSS selectors to hide on a page, generic and for its domain, less exceptions.
  std::vector<std::string> HiddenSelectors(const std::string& pageUrl) const;
  // The same as a style sheet ("selector { display: none !important; }" per selector, so
  // that one selector an engine rejects does not void the others); empty when none.
  std::string HidingStyleSheet(const std::string& pageUrl) const;

  // The same sheet in two parts, so that the large generic part is made once and shared
  // by every page: GenericHidingStyleSheet() (built with the set) applies to the page when
  // `withGeneric`, and `own` holds the rest. When an exception for the page's host would
  // cancel a generic selector, `withGeneric` is false and `own` is the page's whole sheet.
  struct PageHiding {
    bool withGeneric = false;
    std::string own;
  };
  PageHiding HidingFor(const std::string& pageUrl) const;
  const std::string& GenericHidingStyleSheet() const;

  const LoadStats& Stats() const;
  size_t NetworkRuleCount() const;
  // Bytes held by the rules and their indexes (an estimate of the heap in use).
  size_t MemoryBytes() const;

 private:
  std::unique_ptr<FilterSetData> m_data;
};

class FilterSetBuilder {
 public:
  FilterSetBuilder();
  ~FilterSetBuilder();
  FilterSetBuilder(const FilterSetBuilder&) = delete;
  FilterSetBuilder& operator=(const FilterSetBuilder&) = delete;

  // listName appears in the stats' examples.
  void AddListText(const std::string& text, const std::string& listName);
  // False (and counted in unreadFiles) when the file cannot be read.
  bool AddListFile(const std::string& path);
  // Every "*.txt" file of the folder, in name order; returns how many were read.
  size_t AddListFolder(const std::string& folder);
  // Origins whose requests are never blocked ("http://127.0.0.1:8765").
  void AddTrustedOrigin(const std::string& origin);

  // The builder is empty again afterwards.
  std::shared_ptr<const FilterSet> Build();

 private:
  std::unique_ptr<FilterSetData> m_data;
};

// EasyList and EasyPrivacy as the Debian package webext-ublock-origin-firefox installs
// them, those of them that exist.
std::vector<std::string> InstalledEasyLists();

}  // namespace contentfilter
