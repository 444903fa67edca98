#include "uicontrol/urllog.h"

#include <cstdio>

#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace {
constexpr wchar_t kProductKeyPrefix[] = L"SOFTWARE\\Quorla\\";  // "SOFTWARE\Quorla\%s"
constexpr wchar_t kProductName[] = L"qxe";
}  // namespace

std::string UrlLogPath() {
  std::wstring strDataPath;
  platform::CRegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, std::wstring(kProductKeyPrefix) + kProductName, KEY_READ)) {
    strDataPath = key.QueryString(L"datapath");
  }
  std::string path = platform::ToNativePath(strDataPath);
  if (!path.empty() && path.back() != '/') path += '/';
  return path + "ul.ini";
}

void AppendUrlLog(const std::wstring& strURL) {
  const std::string path = UrlLogPath();
  std::FILE* file = std::fopen(path.c_str(), "a");
  if (!file) return;
  const std::string line = "url=" + platform::WideToUtf8(strURL) + "\n";
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
}
