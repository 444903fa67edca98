#include "components/webpage/savefile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

std::string FileStem(const std::wstring& title, const std::wstring& url) {
  std::wstring source = title;
  bool blank = true;
  for (wchar_t c : source) {
    if (c != L' ' && c != L'\t') blank = false;
  }
  if (blank) source = HostOf(url);
  std::wstring cleaned;
  for (wchar_t c : source) {
    bool bad = c < 0x20 || c == 0x7f || c == L'/' || c == L'\\' || c == L':' || c == L'*' || c == L'?' ||
               c == L'"' || c == L'<' || c == L'>' || c == L'|';
    cleaned.push_back(bad ? L'_' : c);
  }
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
