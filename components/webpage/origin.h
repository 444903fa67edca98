#pragma once
// Web origins (scheme://host[:port]) as Chromium writes them, for the host's list of
// trusted origins: the documents that may use the browser's own script API.
#include <string>
#include <vector>

namespace webpage {

// The origin of an http or https address or of an origin text: scheme and host in
// lower case, the port only when it is not the scheme's default, no path. False for
// anything else (other schemes, no host, a bad port, user names, "null").
bool NormalizeOrigin(const std::string& text, std::string* origin);

// The host's list made usable: every entry normalised; entries that are not origins are
// left out and named in *refused.
std::vector<std::string> NormalizeOrigins(const std::vector<std::string>& texts, std::vector<std::string>* refused);

// True when `origin` (as Chromium reports a document's origin) is one of `trusted`.
bool IsTrustedOrigin(const std::vector<std::string>& trusted, const std::string& origin);

}  // namespace webpage
