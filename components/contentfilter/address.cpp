#include "components/contentfilter/address.h"

#include <libpsl.h>

#include <string>

namespace contentfilter {

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool SplitAddress(std::string_view url, AddressParts& parts, bool withOrigin) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos || scheme == 0) return false;
  for (size_t i = 0; i < scheme; ++i) {
    const char c = url[i];
    if (!IsTokenChar(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  size_t begin = scheme + 3;
  size_t end = url.find_first_of("/?#", begin);
  if (end == std::string_view::npos) end = url.size();
  const size_t at = url.rfind('@', end);
  if (at != std::string_view::npos && at >= begin) begin = at + 1;
  // Host and port: "[v6]:port" or "name:port".
  size_t hostEnd = end;
  std::string_view port;
  if (begin < end && url[begin] == '[') {
    const size_t close = url.find(']', begin);
    if (close == std::string_view::npos || close > end) return false;
    hostEnd = close + 1;
    if (hostEnd < end && url[hostEnd] == ':') port = url.substr(hostEnd + 1, end - hostEnd - 1);
  } else {
    const size_t colon = url.find(':', begin);
    if (colon != std::string_view::npos && colon < end) {
      hostEnd = colon;
      port = url.substr(colon + 1, end - colon - 1);
    }
  }
  if (hostEnd <= begin) return false;
  parts.hostBegin = begin;
  parts.hostEnd = hostEnd;
  std::string_view host = url.substr(begin, hostEnd - begin);
  if (host.size() >= 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
  parts.host = LowerAscii(host);
  if (!withOrigin) return true;
  const std::string scheme_lower = LowerAscii(url.substr(0, scheme));
  parts.origin = scheme_lower + "://" + LowerAscii(url.substr(begin, hostEnd - begin));
  const bool defaultPort = (scheme_lower == "http" && port == "80") || (scheme_lower == "https" && port == "443") ||
                           (scheme_lower == "ws" && port == "80") || (scheme_lower == "wss" && port == "443");
  if (!port.empty() && !defaultPort) parts.origin += ":" + std::string(port);
  return true;
}

namespace {
// The list installed with libpsl's data package when present (newer than the one built
// into the library), else the built-in one. Read-only after creation: shared by threads.
const psl_ctx_t* SuffixList() {
  static const psl_ctx_t* const list = [] {
    const psl_ctx_t* latest = psl_latest(nullptr);
    return latest ? latest : psl_builtin();
  }();
  return list;
}
}  // namespace

std::string_view RegistrableDomain(const std::string& host) {
  if (host.empty()) return host;
  // An IP address is its own site (the suffix list would cut "10.0.0.1" to "0.1").
  if (host.find(':') != std::string_view::npos ||
      host.find_first_not_of("0123456789.") == std::string_view::npos) {
    return host;
  }
  const psl_ctx_t* list = SuffixList();
  if (!list) return host;
  const char* domain = psl_registrable_domain(list, host.c_str());
  if (!domain) return host;
  return std::string_view(host).substr(static_cast<size_t>(domain - host.c_str()));
}

}  // namespace contentfilter
