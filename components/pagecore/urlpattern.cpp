// GCC 12 with the sanitizers warns of a "maybe uninitialized" value inside its own
// <regex> expression compiler, which this file instantiates: a false alarm of the library.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "components/pagecore/urlpattern.h"

#include <algorithm>
#include <cctype>

namespace pagecore {

namespace {

constexpr size_t kLongestAddress = 16 * 1024;

const char* const kSchemes[] = {"http", "https", "ws", "wss", "ftp", "file"};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// Every operator character escaped, so that nothing of the pattern's own text is read as
// one (only these: both C++ and JavaScript refuse some other escapes).
std::string Escaped(const std::string& text) {
  static const std::string kOperators = "\\^$.|?*+()[]{}";
  std::string out;
  for (char c : text) {
    if (kOperators.find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

bool HostCharsValid(const std::string& host) {
  if (!host.empty() && host.front() == '[') {
    return host.size() > 2 && host.back() == ']' &&
           std::all_of(host.begin() + 1, host.end() - 1, [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; });
  }
  return std::all_of(host.begin(), host.end(), [](unsigned char c) { return std::isalnum(c) || c == '.' || c == '-' || c == '_'; });
}

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

}  // namespace

bool CUrlPattern::Parse(const std::string& text, CUrlPattern* out, std::string* error) {
  std::string regex;
  if (text == "<all_urls>") {
    regex = "^(?:https?|wss?|ftp)://[^/]+(?:/.*)?$|^file:///.*$";
  } else {
    const size_t separator = text.find("://");
    if (separator == std::string::npos) return Fail(error, "no \"://\"");
    const std::string scheme = Lower(text.substr(0, separator));
    const size_t pathStart = text.find('/', separator + 3);
    if (pathStart == std::string::npos) return Fail(error, "no path (a pattern for a whole site ends in \"/*\")");
    std::string host = Lower(text.substr(separator + 3, pathStart - separator - 3));
    const std::string path = text.substr(pathStart);
    if (scheme == "*") {
      regex = "^https?://";
    } else if (std::find(std::begin(kSchemes), std::end(kSchemes), scheme) != std::end(kSchemes)) {
      regex = "^" + scheme + "://";
    } else {
      return Fail(error, "scheme \"" + scheme + "\" is not one of *, http, https, ws, wss, ftp, file");
    }
    if (scheme == "file") {
      if (!host.empty()) return Fail(error, "a file pattern has no host (file:///path)");
    } else {
      std::string port = "(?::[0-9]+)?";
      const size_t colon = host.rfind(':');
      if (colon != std::string::npos && host.find(']', colon) == std::string::npos) {
        const std::string digits = host.substr(colon + 1);
        host.erase(colon);
        if (digits == "*") {
        } else if (!digits.empty() && digits.size() <= 5 &&
                   std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }) &&
                   std::stoi(digits) <= 65535) {
          port = ":" + digits;
        } else {
          return Fail(error, "port \"" + digits + "\" is not a number up to 65535 or *");
        }
      }
      if (host.empty()) return Fail(error, "no host");
      if (host == "*") {
        regex += "[^/:?#]+";
      } else {
        const bool subdomains = host.rfind("*.", 0) == 0;
        const std::string named = subdomains ? host.substr(2) : host;
        if (named.empty() || named.find('*') != std::string::npos || !HostCharsValid(named))
          return Fail(error, "host \"" + host + "\" is not *, *.HOST or a host name");
        if (subdomains) regex += "(?:[^/:?#]+\\.)?";
        regex += Escaped(named);
      }
      regex += port;
    }
    for (char c : path) regex += c == '*' ? std::string(".*") : Escaped(std::string(1, c));
    regex += "$";
  }
  try {
    out->m_compiled = std::regex(regex, std::regex::ECMAScript | std::regex::nosubs | std::regex::optimize);
  } catch (const std::regex_error&) {
    return Fail(error, "cannot be read");  // not expected: every piece above is escaped
  }
  out->m_text = text;
  out->m_regex = std::move(regex);
  return true;
}

bool CUrlPattern::Matches(const std::string& url) const {
  // std::regex matches recursively, one level per character: an address longer than any
  // real page's is not matched rather than risk the stack (pages test their own address
  // in JavaScript, which has no such limit).
  if (m_regex.empty() || url.size() > kLongestAddress) return false;
  std::string address = url.substr(0, url.find('#'));
  // Scheme and host in lower case, as engines give them; the path keeps its case.
  const size_t separator = address.find("://");
  if (separator != std::string::npos) {
    const size_t end = std::min(address.find('/', separator + 3), address.size());
    std::transform(address.begin(), address.begin() + static_cast<long>(end), address.begin(),
                   [](unsigned char c) { return std::tolower(c); });
  }
  return std::regex_match(address, m_compiled);
}

}  // namespace pagecore
