// /regex/ rules: what they may cost, and the tokens every address they match contains.
//
// std::regex backtracks, recursively, so a rule's cost is bounded three ways: the
// expression is at most kMaxRegexLength long, it has no back references and no
// quantified group that holds a quantifier itself (the shape of exponential
// backtracking, "(a+)+"), and it is only tried on addresses up to kMaxRegexSubjectLength.
#include <vector>

#include "components/contentfilter/address.h"
#include "components/contentfilter/network_rule.h"

namespace contentfilter {

namespace {

// One element of an expression, as far as the tokens are concerned.
struct Atom {
  enum Kind { Literal, Other, Quantifier, Start, End, Alternation } kind;
  char c = 0;  // for Literal
};

// Flattens the expression: groups and classes become one Other atom, so that only the
// top level, which every match passes through, gives tokens. Sets costly for back
// references and for quantified groups that hold a quantifier.
std::vector<Atom> Scan(std::string_view re, bool& costly) {
  std::vector<Atom> atoms;
  std::vector<bool> groupHasQuantifier;  // one entry per open group
  bool inClass = false;
  costly = false;
  for (size_t i = 0; i < re.size(); ++i) {
    const char c = re[i];
    const bool top = groupHasQuantifier.empty() && !inClass;
    if (c == '\\' && i + 1 < re.size()) {
      const char e = re[++i];
      if (e >= '1' && e <= '9' && !inClass) costly = true;
      if (top) {
        const bool literal = !IsTokenChar(static_cast<unsigned char>(e));
        atoms.push_back(literal ? Atom{Atom::Literal, e} : Atom{Atom::Other});
      }
      continue;
    }
    if (inClass) {
      if (c == ']') {
        inClass = false;
        if (groupHasQuantifier.empty()) atoms.push_back({Atom::Other});
      }
      continue;
    }
    switch (c) {
      case '[':
        inClass = true;
        break;
      case '(':
        groupHasQuantifier.push_back(false);
        break;
      case ')': {
        if (groupHasQuantifier.empty()) break;  // the regex library rejects it
        const bool inner = groupHasQuantifier.back();
        groupHasQuantifier.pop_back();
        const char next = i + 1 < re.size() ? re[i + 1] : 0;
        if (inner && (next == '*' || next == '+' || next == '{')) costly = true;
        if (!groupHasQuantifier.empty() && inner) groupHasQuantifier.back() = true;
        if (groupHasQuantifier.empty()) atoms.push_back({Atom::Other});
        break;
      }
      case '*':
      case '+':
      case '?':
      case '{':
        if (!groupHasQuantifier.empty()) groupHasQuantifier.back() = true;
        if (top) atoms.push_back({Atom::Quantifier});
        if (c == '{') {
          const size_t close = re.find('}', i);
          if (close != std::string_view::npos) i = close;
        }
        break;
      case '|':
        if (top) atoms.push_back({Atom::Alternation});
        break;
      case '^':
        if (top) atoms.push_back(i == 0 ? Atom{Atom::Start} : Atom{Atom::Other});
        break;
      case '$':
        if (top) atoms.push_back(i + 1 == re.size() ? Atom{Atom::End} : Atom{Atom::Other});
        break;
      case '.':
        if (top) atoms.push_back({Atom::Other});
        break;
      default:
        if (top) atoms.push_back({Atom::Literal, c});
    }
  }
  return atoms;
}

bool IsWordLiteral(const Atom& a) { return a.kind == Atom::Literal && IsTokenChar(static_cast<unsigned char>(a.c)); }

}  // namespace

std::shared_ptr<const std::regex> CompileRegexRule(std::string_view source, bool matchCase, SkipReason& reason) {
  if (source.empty()) {
    reason = SkipReason::BadRegex;
    return nullptr;
  }
  if (source.size() > kMaxRegexLength) {
    reason = SkipReason::CostlyRegex;
    return nullptr;
  }
  bool costly = false;
  Scan(source, costly);
  if (costly) {
    reason = SkipReason::CostlyRegex;
    return nullptr;
  }
  auto flags = std::regex::ECMAScript | std::regex::nosubs | std::regex::optimize;
  if (!matchCase) flags |= std::regex::icase;
  try {
    return std::make_shared<const std::regex>(source.begin(), source.end(), flags);
  } catch (const std::regex_error&) {
    reason = SkipReason::BadRegex;
    return nullptr;
  }
}

std::vector<std::string> RegexTokens(std::string_view source) {
  bool costly = false;
  const std::vector<Atom> atoms = Scan(source, costly);
  std::vector<std::string> tokens;
  for (const Atom& a : atoms) {
    if (a.kind == Atom::Alternation) return tokens;  // no literal is certain
  }
  // A run of letters and digits is a whole token of every match when the atoms on both
  // sides are certain: a literal non-word character not made optional, or an anchor.
  const size_t n = atoms.size();
  size_t i = 0;
  while (i < n) {
    if (!IsWordLiteral(atoms[i])) {
      ++i;
      continue;
    }
    const size_t start = i;
    std::string run;
    while (i < n && IsWordLiteral(atoms[i])) run += LowerAscii(atoms[i++].c);
    const bool leftOk = start > 0 && (atoms[start - 1].kind == Atom::Start || atoms[start - 1].kind == Atom::Literal);
    bool rightOk = false;
    if (i < n && atoms[i].kind == Atom::End) rightOk = true;
    if (i < n && atoms[i].kind == Atom::Literal) rightOk = !(i + 1 < n && atoms[i + 1].kind == Atom::Quantifier);
    if (leftOk && rightOk) tokens.push_back(run);
  }
  return tokens;
}

}  // namespace contentfilter
