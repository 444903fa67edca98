// Matching of plain patterns ("*" wildcards, "^" separators, "|" and "||" anchors) and
// the tokens that the index files each rule under.
#include <algorithm>

#include "components/contentfilter/address.h"
#include "components/contentfilter/network_rule.h"

namespace contentfilter {

namespace {

constexpr size_t kNone = std::string_view::npos;

// "^": anything but a letter, a digit or one of "_-.%"; the end of the address too.
bool IsSeparator(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (IsTokenChar(u) || u >= 0x80) return false;
  return c != '_' && c != '-' && c != '.' && c != '%';
}

// The end of the segment's match when it matches at pos, else kNone.
size_t MatchSegmentAt(std::string_view url, size_t pos, std::string_view segment) {
  for (size_t k = 0; k < segment.size(); ++k) {
    const char p = segment[k];
    if (pos == url.size()) {
      // Only separators may be left: each matches the end of the address.
      for (size_t r = k; r < segment.size(); ++r) {
        if (segment[r] != '^') return kNone;
      }
      return pos;
    }
    if (p == '^' ? !IsSeparator(url[pos]) : url[pos] != p) return kNone;
    ++pos;
  }
  return pos;
}

// The leftmost match of the segment at or after pos: its start and end.
bool FindSegment(std::string_view url, size_t pos, std::string_view segment, size_t& start, size_t& end) {
  if (segment.find('^') == std::string_view::npos) {
    const size_t at = url.find(segment, pos);
    if (at == kNone) return false;
    start = at;
    end = at + segment.size();
    return true;
  }
  const char first = segment[0];
  for (size_t at = pos; at <= url.size(); ++at) {
    if (first != '^' && (at == url.size() || url[at] != first)) continue;
    const size_t e = MatchSegmentAt(url, at, segment);
    if (e != kNone) {
      start = at;
      end = e;
      return true;
    }
  }
  return false;
}

// Whether the segments match in order from pos, the first one exactly at pos when
// anchoredFirst; the last one must end the address when anchorEnd.
bool MatchSegmentsFrom(std::string_view url, size_t pos, const std::vector<std::string>& segments,
                       bool anchoredFirst, bool anchorEnd) {
  const size_t n = segments.size();
  size_t i = 0;
  if (anchoredFirst) {
    pos = MatchSegmentAt(url, pos, segments[0]);
    if (pos == kNone) return false;
    i = 1;
    if (n == 1) return !anchorEnd || pos == url.size();
  }
  for (; i < n; ++i) {
    const std::string& segment = segments[i];
    if (i + 1 == n && anchorEnd) {
      // The last segment ends the address: try every start from the right.
      for (size_t at = url.size() + 1; at-- > pos;) {
        if (MatchSegmentAt(url, at, segment) == url.size()) return true;
      }
      return false;
    }
    size_t start = 0;
    if (!FindSegment(url, pos, segment, start, pos)) return false;
  }
  return true;
}

}  // namespace

bool PatternMatches(const NetworkRule& rule, const PatternSubject& subject) {
  const std::string_view url = rule.matchCase ? subject.url : subject.lowerUrl;
  if (const std::regex* regex = rule.regex()) {
    if (subject.url.size() > kMaxRegexSubjectLength) return false;
    return std::regex_search(subject.url.begin(), subject.url.end(), *regex);
  }
  if (rule.anchorDomain) {
    // At the host's start or after any dot inside the host.
    if (subject.hostEnd <= subject.hostBegin) return false;
    for (size_t at = subject.hostBegin; at < subject.hostEnd; ++at) {
      if (at != subject.hostBegin && url[at - 1] != '.') continue;
      if (MatchSegmentsFrom(url, at, rule.segments, true, rule.anchorEnd)) return true;
    }
    return false;
  }
  return MatchSegmentsFrom(url, 0, rule.segments, rule.anchorStart, rule.anchorEnd);
}

std::vector<std::string> RuleTokens(const NetworkRule& rule) {
  if (rule.regex()) return RegexTokens(rule.extras->regexSource);
  std::vector<std::string> tokens;
  const size_t n = rule.segments.size();
  for (size_t s = 0; s < n; ++s) {
    const std::string& segment = rule.segments[s];
    // A run is a whole token of every matching address only when neither of its ends
    // can touch more letters or digits: not at a wildcard, and not at an open end.
    const bool leftClosed = s == 0 && (rule.anchorStart || rule.anchorDomain);
    const bool rightClosed = s + 1 == n && rule.anchorEnd;
    size_t i = 0;
    while (i < segment.size()) {
      while (i < segment.size() && !IsTokenChar(static_cast<unsigned char>(segment[i]))) ++i;
      const size_t start = i;
      while (i < segment.size() && IsTokenChar(static_cast<unsigned char>(segment[i]))) ++i;
      if (i == start) break;
      if ((start == 0 && !leftClosed) || (i == segment.size() && !rightClosed)) continue;
      // After "||" the host may start at any label: a run right after it is still whole
      // (a dot or "://" is before it).
      tokens.push_back(LowerAscii(std::string_view(segment).substr(start, i - start)));
    }
  }
  return tokens;
}

}  // namespace contentfilter
