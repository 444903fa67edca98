#pragma once
// Splitting an absolute address into the parts the rules look at, and the tokens the
// index is keyed by.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace contentfilter {

// Token characters: ASCII letters and digits. A token is a maximal run of them.
inline bool IsTokenChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
}
inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
std::string LowerAscii(std::string_view text);

// FNV-1a over the lower-cased token; never 0 (0 marks an empty slot of the index).
inline uint64_t TokenHash(std::string_view token) {
  uint64_t h = 1469598103934665603ull;
  for (char c : token) {
    h ^= static_cast<unsigned char>(LowerAscii(c));
    h *= 1099511628211ull;
  }
  return h ? h : 1;
}

struct AddressParts {
  size_t hostBegin = 0;  // in the address, after "scheme://" and any "user@"
  size_t hostEnd = 0;
  std::string host;      // lower case, without the brackets of an IPv6 literal
  std::string origin;    // "scheme://host[:port]", lower case, default port left out; if asked
};
// False for text that has no "scheme://" or no host.
bool SplitAddress(std::string_view url, AddressParts& parts, bool withOrigin = false);

// Calls sink(hash) for every token of text (which need not be lower case).
template <typename Sink>
void ForEachTokenHash(std::string_view text, Sink&& sink) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    while (i < n && !IsTokenChar(static_cast<unsigned char>(text[i]))) ++i;
    const size_t start = i;
    while (i < n && IsTokenChar(static_cast<unsigned char>(text[i]))) ++i;
    if (i > start) sink(TokenHash(text.substr(start, i - start)));
  }
}

// "a.b.example.com" -> "a.b.example.com", "b.example.com", "example.com", "com".
template <typename F>
void ForEachHostSuffix(std::string_view host, F&& visit) {
  while (!host.empty()) {
    if (visit(host)) return;
    const size_t dot = host.find('.');
    if (dot == std::string_view::npos) return;
    host.remove_prefix(dot + 1);
  }
}

// The registrable domain (eTLD+1) by the Public Suffix List; the host itself when it has
// none (an IP address, a public suffix, a single label).
std::string_view RegistrableDomain(const std::string& host);

}  // namespace contentfilter
