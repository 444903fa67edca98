#include "components/webpage/origin.h"

#include <algorithm>

namespace webpage {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool HostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

}  // namespace

bool NormalizeOrigin(const std::string& text, std::string* origin) {
  size_t colon = text.find("://");
  if (colon == std::string::npos) return false;
  std::string scheme = Lower(text.substr(0, colon));
  if (scheme != "http" && scheme != "https") return false;
  size_t start = colon + 3;
  size_t end = text.find_first_of("/?#", start);
  std::string authority = Lower(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
  if (authority.empty() || authority.find('@') != std::string::npos) return false;
  std::string host, port;
  if (authority[0] == '[') {
    size_t close = authority.find(']');
    if (close == std::string::npos || close == 1) return false;
    host = authority.substr(0, close + 1);
    for (size_t i = 1; i < close; ++i) {
      char c = host[i];
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.')) return false;
    }
    std::string rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') return false;
      port = rest.substr(1);
      if (port.empty()) return false;
    }
  } else {
    size_t portColon = authority.find(':');
    host = authority.substr(0, portColon);
    if (portColon != std::string::npos) {
      port = authority.substr(portColon + 1);
      if (port.empty()) return false;
    }
    if (host.empty() || !std::all_of(host.begin(), host.end(), HostCharacter)) return false;
  }
  if (!port.empty()) {
    if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return false;
    unsigned long number = std::stoul(port);
    if (number == 0 || number > 65535) return false;
    port = std::to_string(number);  // no leading zeros
    if ((scheme == "http" && number == 80) || (scheme == "https" && number == 443)) port.clear();
  }
  *origin = scheme + "://" + host + (port.empty() ? "" : ":" + port);
  return true;
}

std::vector<std::string> NormalizeOrigins(const std::vector<std::string>& texts, std::vector<std::string>* refused) {
  std::vector<std::string> origins;
  for (const std::string& text : texts) {
    std::string origin;
    if (!NormalizeOrigin(text, &origin)) {
      if (refused) refused->push_back(text);
      continue;
    }
    if (std::find(origins.begin(), origins.end(), origin) == origins.end()) origins.push_back(origin);
  }
  return origins;
}

bool IsTrustedOrigin(const std::vector<std::string>& trusted, const std::string& origin) {
  if (origin.empty()) return false;
  return std::find(trusted.begin(), trusted.end(), origin) != trusted.end();
}

}  // namespace webpage
