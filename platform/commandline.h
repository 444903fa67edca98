#pragma once
// Windows command lines taken apart the way CreateProcess and CommandLineToArgvW do.
#include <string>
#include <vector>

#include "platform/export.h"

namespace platform {

// The arguments of a command line (without its program), as CommandLineToArgvW splits
// them: blanks (space, tab) separate outside double quotes; a quote opens or closes a
// quoted part and is dropped; inside quotes `""` gives one literal quote and closes the
// quoted part; 2n backslashes before a quote give n backslashes (the quote then acts as
// above), 2n+1 give n backslashes and a literal quote; other backslashes are literal.
// `""` alone is an empty argument.
PLATFORM_API std::vector<std::string> SplitArguments(const std::string& text);

// The program part of a command line: the text between the first pair of quotes when it
// begins with one (*rest is what follows the closing quote), else the whole line (for
// CreateProcess to try its blank-ended prefixes).
PLATFORM_API bool QuotedProgram(const std::string& line, std::string* program, std::string* rest);

}  // namespace platform
