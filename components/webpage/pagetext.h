#pragma once
// Reading a page as text for a terminal reader ("GETTEXT" -> "PAGETEXT") and counting the
// matches of "FIND". The scripts run in Chromium; what they return is turned into event
// values here, so that the parsing can be checked without a browser.
#include <string>
#include <vector>

#include "components/webpage/jsonread.h"
#include "components/webpage/keyvaluetext.h"

namespace webpage {

// Longest text and most links one "PAGETEXT" carries; a longer page is cut ("CUT=TRUE").
constexpr int kPageTextChars = 1000000;
constexpr int kPageTextLinks = 10000;

// The expression that reads the document: an object {title, url, lines, links, cut}.
// Each line is "<kind>:<text>", kind one of 1-6 (heading level), P (paragraph), Ln (list
// item at depth n), R (table row, cells joined by " | "), Q (preformatted). Link n
// (counted from 1) is marked "[n]" after its text and its address is links[n-1].
std::string PageTextScript();

// The expression that reads the document's source (doctype and HTML as the DOM holds it
// now): an object {title, url, lines, links (empty), cut}.
std::string PageSourceScript();

// Lines of a list joined into one value: a backslash is written "\\", each line ends with
// "\n" (backslash, n); control characters become spaces.
std::wstring JoinEscapedLines(const std::vector<std::wstring>& lines);

// The values of "PAGETEXT" from the script's result: TEXT and LINKS (JoinEscapedLines),
// or SOURCE for the source, TITLE, URL, CUT=TRUE|FALSE. False with *error for a result
// of the wrong shape.
bool PageTextValues(const Json& result, bool source, KeyValues* values, std::string* error);

// The expression of "FIND": selects the next match (wrapping) and counts them all,
// case-insensitively, in the page's visible text: an object {found, count}.
std::string FindScript(const std::wstring& text);
// Reads that object; anything else is "not found", no matches.
void ReadFindReply(const Json& value, bool* found, long long* count);

}  // namespace webpage
