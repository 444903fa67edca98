#include "components/webpage/savefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/text.h"

namespace webpage {

bool Base64Decode(const std::string& text, std::string* bytes) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  if (text.size() % 4 != 0) return false;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    int v[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      char c = text[i + k];
      if (c == '=' && i + 4 == text.size() && k >= 2) {
        v[k] = 0;
        ++padding;
        continue;
      }
      if (padding > 0) return false;  // data after padding
      v[k] = value(c);
      if (v[k] < 0) return false;
    }
    uint32_t triple = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
    out.push_back(static_cast<char>((triple >> 16) & 0xff));
    if (padding < 2) out.push_back(static_cast<char>((triple >> 8) & 0xff));
    if (padding < 1) out.push_back(static_cast<char>(triple & 0xff));
  }
  bytes->swap(out);
  return true;
}

namespace {

std::wstring HostOf(const std::wstring& url) {
  size_t scheme = url.find(L"://");
  if (scheme == std::wstring::npos) return L"";
  size_t start = scheme + 3;
  size_t end = url.find_first_of(L"/?#", start);
  std::wstring host = url.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
  size_t at = host.rfind(L'@');
  if (at != std::wstring::npos) host = host.substr(at + 1);
  return host;
}

// Characters that may stand in a saved file's name. The title comes from the page, so
// besides what a file name cannot hold (separators, controls) this leaves out what could
// make a name look like another one: C1 controls, invisible and direction-changing
// characters (U+202E turns "gpj.exe" into what reads as "exe.jpg"), line and paragraph
// separators, and values that are no character at all.
bool FileNameCharacter(wchar_t wc) {
  uint32_t c = static_cast<uint32_t>(wc);
  if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) return false;
  switch (c) {
    case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return false;
    default:
      break;
  }
  if (c == 0xad || c == 0x61c || c == 0x180e || (c >= 0x200b && c <= 0x200f) || (c >= 0x2028 && c <= 0x202e) ||
      (c >= 0x2060 && c <= 0x206f) || c == 0xfeff || (c >= 0xfff9 && c <= 0xfffb))
    return false;
  if ((c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff || (c & 0xfffe) == 0xfffe || (c >= 0xfdd0 && c <= 0xfdef))
    return false;
  return true;
}

}  // namespace

std::string FileStem(const std::wstring& title, const std::wstring& url) {
  std::wstring source = title;
  bool blank = true;
  for (wchar_t c : source) {
    if (c != L' ' && c != L'\t') blank = false;
  }
  if (blank) source = HostOf(url);
  std::wstring cleaned;
  for (wchar_t c : source) cleaned.push_back(FileNameCharacter(c) ? c : L'_');
  // No hidden files and no "." or "..".
  while (!cleaned.empty() && (cleaned.front() == L'.' || cleaned.front() == L' ')) cleaned.erase(0, 1);
  while (!cleaned.empty() && (cleaned.back() == L'.' || cleaned.back() == L' ')) cleaned.pop_back();
  std::string stem;
  for (wchar_t c : cleaned) {
    std::string next = platform::WideToUtf8(std::wstring(1, c));
    if (stem.size() + next.size() > 80) break;
    stem += next;
  }
  return stem.empty() ? "page" : stem;
}

void DownloadName(const std::wstring& suggested, const std::wstring& url, std::string* stem, std::string* extension) {
  std::wstring name = suggested;
  size_t slash = name.find_last_of(L"/\\");
  if (slash != std::wstring::npos) name = name.substr(slash + 1);
  extension->clear();
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot + 1 < name.size() && name.size() - dot - 1 <= 16) {
    std::wstring tail = name.substr(dot + 1);
    bool plain = true;
    for (wchar_t c : tail) {
      plain = plain && ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                        c == L'-' || c == L'_');
    }
    if (plain) {
      *extension = platform::WideToUtf8(tail);
      name = name.substr(0, dot);
    }
  }
  *stem = FileStem(name, url);
}

std::string MoveToNewFile(const std::string& folder, const std::string& stem, const std::string& extension,
                          const std::string& source, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    *error = "cannot create " + folder + ": " + ec.message();
    return "";
  }
  for (int attempt = 1; attempt <= 1000; ++attempt) {
    std::string path = folder + "/" + stem + (attempt == 1 ? "" : " (" + std::to_string(attempt) + ")") +
                       (extension.empty() ? "" : "." + extension);
    // link() never replaces: a taken name fails with EEXIST, also for a symbolic link.
    if (::link(source.c_str(), path.c_str()) == 0) {
      ::unlink(source.c_str());
      return path;
    }
    if (errno == EEXIST) continue;
    if (errno == EPERM || errno == EXDEV || errno == ENOTSUP) {
      // No hard links here: a rename that only takes a free name.
      struct stat taken;
      if (::lstat(path.c_str(), &taken) == 0) continue;
      if (::rename(source.c_str(), path.c_str()) == 0) return path;
    }
    *error = "cannot move " + source + " to " + path + ": " + std::strerror(errno);
    return "";
  }
  *error = "no free file name for " + stem + (extension.empty() ? "" : "." + extension) + " in " + folder;
  return "";
}

std::string DefaultDownloadsFolder() {
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/Downloads";
}

std::string SaveNewFile(const std::string& folder, const std::string& stem, const std::string& extension,
                        const std::string& bytes, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    *error = "cannot create " + folder + ": " + ec.message();
    return "";
  }
  for (int attempt = 1; attempt <= 1000; ++attempt) {
    std::string name = stem + (attempt == 1 ? "" : " (" + std::to_string(attempt) + ")") + "." + extension;
    std::string path = folder + "/" + name;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      *error = "cannot create " + path + ": " + std::strerror(errno);
      return "";
    }
    size_t written = 0;
    while (written < bytes.size()) {
      ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      written += static_cast<size_t>(n);
    }
    bool ok = written == bytes.size();
    int savedErrno = errno;
    if (::close(fd) != 0) ok = false;
    if (!ok) {
      ::unlink(path.c_str());  // never leave half a file behind
      *error = "cannot write " + path + ": " + std::strerror(savedErrno);
      return "";
    }
    return path;
  }
  *error = "no free file name for " + stem + "." + extension + " in " + folder;
  return "";
}

}  // namespace webpage
