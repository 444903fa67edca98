#pragma once
// Writing what a page saves (HTML, screenshots, PDFs) into the downloads folder without
// ever replacing a file that is already there.
#include <string>

namespace webpage {

// Decodes standard base64 (as the DevTools protocol sends binary data); false for bad input.
bool Base64Decode(const std::string& text, std::string* bytes);

// A file name stem from the page's title, else its host, else "page": characters that a
// file name cannot hold become "_", and it is kept to at most 80 bytes of UTF-8.
std::string FileStem(const std::wstring& title, const std::wstring& url);

// $HOME/Downloads (or /tmp/Downloads without HOME).
std::string DefaultDownloadsFolder();

// Creates the folder when needed and writes `stem.ext`, or `stem (2).ext` and so on when
// the name is taken. Returns the path written, or empty with *error set.
std::string SaveNewFile(const std::string& folder, const std::string& stem, const std::string& extension,
                        const std::string& bytes, std::string* error);

}  // namespace webpage
