#pragma once
// Writing what a page saves (HTML, screenshots, PDFs) into the downloads folder without
// ever replacing a file that is already there.
#include <string>

namespace webpage {

// Decodes standard base64 (as the DevTools protocol sends binary data); false for bad input.
bool Base64Decode(const std::string& text, std::string* bytes);

// A file name stem from the page's title, else its host, else "page": characters that a
// file name cannot hold, controls, invisible and direction-changing characters become
// "_"; no leading or trailing dots or spaces ("." and ".." never result); at most 80
// bytes of UTF-8, never cutting a character.
std::string FileStem(const std::wstring& title, const std::wstring& url);

// $HOME/Downloads (or /tmp/Downloads without HOME).
std::string DefaultDownloadsFolder();

// Creates the folder when needed and writes `stem.ext`, or `stem (2).ext` and so on when
// the name is taken. Returns the path written, or empty with *error set.
std::string SaveNewFile(const std::string& folder, const std::string& stem, const std::string& extension,
                        const std::string& bytes, std::string* error);

// A page download's name split into a safe stem (FileStem of the name, else of `url`) and
// an extension (the part after the last dot when it is 1 to 16 letters, digits, "-" or
// "_"; else none).
void DownloadName(const std::wstring& suggested, const std::wstring& url, std::string* stem, std::string* extension);

// Moves the finished file `source` into `folder` as `stem.ext`, or `stem (2).ext` and so
// on, never replacing a file (a hard link that fails on a taken name, then the source is
// removed). `extension` may be empty. Returns the new path, or empty with *error set
// (the source is then left in place).
std::string MoveToNewFile(const std::string& folder, const std::string& stem, const std::string& extension,
                          const std::string& source, std::string* error);

}  // namespace webpage
