// Reading lists: every line is a comment, a rule, or skipped under a reason.
#include <cstdio>
#include <string_view>

#include "components/contentfilter/filterset_data.h"

namespace contentfilter {

namespace {

constexpr size_t kMaxExamples = 20;

// Control characters (tab aside) or bytes that are not UTF-8.
bool IsBinary(std::string_view line) {
  for (size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c < 0x20) {
      if (c != '\t') return true;
      continue;
    }
    if (c == 0x7f) return true;
    if (c < 0x80) continue;
    size_t more = 0;
    if ((c & 0xe0) == 0xc0 && c >= 0xc2) more = 1;
    else if ((c & 0xf0) == 0xe0) more = 2;
    else if ((c & 0xf8) == 0xf0 && c <= 0xf4) more = 3;
    else return true;
    if (i + more >= line.size()) return true;
    for (size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(line[i + k]) & 0xc0) != 0x80) return true;
    }
    i += more;
  }
  return false;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

void FilterSetData::AddListText(std::string_view text, const std::string& listName) {
  size_t lineNumber = 0;
  auto skip = [&](SkipReason reason, std::string_view line) {
    ++stats.skipped[static_cast<size_t>(reason)];
    if (stats.skippedExamples.size() < kMaxExamples) {
      std::string shown(line.substr(0, 120));
      if (IsBinary(shown)) shown = "(binary)";
      stats.skippedExamples.push_back(listName + ":" + std::to_string(lineNumber) + ": " + SkipReasonName(reason) +
                                      ": " + shown);
    }
  };
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view raw = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    ++stats.lines;
    if (raw.size() > kMaxLineLength) {
      skip(SkipReason::LineTooLong, raw);
      continue;
    }
    const std::string_view line = Trim(raw);
    if (IsBinary(line)) {
      skip(SkipReason::Binary, line);
      continue;
    }
    if (line.empty() || line[0] == '!' || (line[0] == '[' && line.back() == ']')) {
      ++stats.comments;
      continue;
    }
    SkipReason reason = SkipReason::Count;
    size_t length = 0;
    const size_t separator = FindCosmeticSeparator(line, length);
    if (separator != std::string_view::npos) {
      HidingRule rule;
      if (!ParseHidingRule(line, separator, length, rule, reason)) {
        skip(reason, line);
        continue;
      }
      ++(rule.exception ? stats.hidingExceptions : stats.hidingRules);
      hiding.Add(std::move(rule));
      continue;
    }
    NetworkRule rule;
    if (!ParseNetworkRule(line, rule, reason)) {
      skip(reason, line);
      continue;
    }
    if (rule.exception) {
      rule.order = static_cast<uint32_t>(stats.exceptionRules++);
      if (rule.typeBits & (TypeBit(ResourceType::Document) | kElemHideBit | kGenericHideBit)) pageExceptions.Add(rule);
      exceptions.Add(std::move(rule));
    } else {
      rule.order = static_cast<uint32_t>(stats.blockingRules++);
      blocking.Add(std::move(rule));
    }
  }
}

void FilterSetData::Index() {
  blocking.Index();
  exceptions.Index();
  pageExceptions.Index();
  hiding.Index();
  genericSheet = StyleSheetOf(hiding.GenericSelectors());
}

const char* SkipReasonName(SkipReason reason) {
  switch (reason) {
    case SkipReason::Binary: return "binary";
    case SkipReason::LineTooLong: return "line too long";
    case SkipReason::UnsupportedOption: return "unsupported option";
    case SkipReason::EmptyOption: return "empty option";
    case SkipReason::BadOptionValue: return "bad option value";
    case SkipReason::BadRegex: return "bad regex";
    case SkipReason::CostlyRegex: return "costly regex";
    case SkipReason::Scriptlet: return "scriptlet";
    case SkipReason::ProceduralCosmetic: return "procedural cosmetic";
    case SkipReason::ExtendedCosmetic: return "extended cosmetic";
    case SkipReason::HtmlFilter: return "html filter";
    case SkipReason::BadSelector: return "bad selector";
    case SkipReason::UnsupportedDomain: return "unsupported domain";
    case SkipReason::MatchesEverything: return "matches everything";
    case SkipReason::Malformed: return "malformed";
    case SkipReason::Count: break;
  }
  return "unknown";
}

size_t LoadStats::skippedTotal() const {
  size_t total = 0;
  for (size_t n : skipped) total += n;
  return total;
}

}  // namespace contentfilter
