#pragma once
// The log of added favourite addresses: "ul.ini" in the browser's data folder, one
// "url=" line per added favourite.
#include <string>

// The data folder named by the registry (HKEY_LOCAL_MACHINE "SOFTWARE\Quorla\qxe",
// value "datapath") followed by "ul.ini"; just "ul.ini", relative to the current
// directory, when there is no such value.
std::string UrlLogPath();

// Appends "url=" + the address (UTF-8) + line feed. Nothing is written when the file
// cannot be opened.
void AppendUrlLog(const std::wstring& strURL);
