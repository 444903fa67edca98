#pragma once
// Address patterns in the form user scripts and user styles name the pages they apply to:
// "<all_urls>", or SCHEME://HOST[:PORT]/PATH where SCHEME is "*" (http or https) or one of
// http, https, ws, wss, ftp, file; HOST is "*", "*." followed by a host (that host and every
// host under it) or a host (empty for file); PORT is digits or "*" (no port: any port); PATH
// starts with "/" and "*" in it stands for any text (the query is part of the path).
//
// A pattern is held as one ECMAScript regular expression over an address without its
// fragment, so that a page's own script can make the very same check (the engines guard
// each user script with it) and C++ matches with the same expression.
#include <regex>
#include <string>

namespace pagecore {

class CUrlPattern {
 public:
  // False, with a reason in *error, for anything not of the form above; *out is untouched.
  static bool Parse(const std::string& text, CUrlPattern* out, std::string* error);

  // Whether `url` (any fragment ignored; scheme and host compared in any case) matches.
  bool Matches(const std::string& url) const;
  // The expression Matches uses, for a page's script: test it on location.href without
  // the fragment.
  const std::string& Regex() const { return m_regex; }
  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
  std::string m_regex;
  std::regex m_compiled;
};

}  // namespace pagecore
