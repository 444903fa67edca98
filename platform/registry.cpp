#include "platform/registry.h"

#include <atomic>
#include <fstream>
#include <map>

#include "platform/text.h"
#include "platform/mutex.h"

namespace {

struct KeyData {
  std::map<std::wstring, std::wstring> values;  // by lower-cased name
  bool readOnly = false;
};

struct Store {
  platform::CMutex mutex;
  std::map<std::pair<int, std::wstring>, KeyData> keys GUARDED_BY(mutex);
  std::map<std::pair<int, std::wstring>, platform::RegistryKeySource> sources GUARDED_BY(mutex);
};

Store& GetStore() {
  static Store store;
  return store;
}

std::atomic<int> g_majorVersion{6};

std::wstring NormaliseKey(const std::wstring& key) {
  std::wstring out = platform::AsciiLower(key);
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  while (!out.empty() && out.back() == L'\\') out.pop_back();
  return out;
}

}  // namespace

namespace platform {

void RegistrySetValue(HKEY root, const std::wstring& key, const std::wstring& name,
                      const std::wstring& value) {
  platform::CMutexLock guard(GetStore().mutex);
  GetStore().keys[{root, NormaliseKey(key)}].values[AsciiLower(name)] = value;
}

void RegistryCreateKey(HKEY root, const std::wstring& key) {
  platform::CMutexLock guard(GetStore().mutex);
  GetStore().keys[{root, NormaliseKey(key)}];
}

void RegistryDeleteKey(HKEY root, const std::wstring& key) {
  platform::CMutexLock guard(GetStore().mutex);
  GetStore().keys.erase({root, NormaliseKey(key)});
}

void RegistrySetKeyReadOnly(HKEY root, const std::wstring& key, bool readOnly) {
  platform::CMutexLock guard(GetStore().mutex);
  GetStore().keys[{root, NormaliseKey(key)}].readOnly = readOnly;
}

void RegistryClear() {
  platform::CMutexLock guard(GetStore().mutex);
  GetStore().keys.clear();
  GetStore().sources.clear();
}

void RegistrySetKeySource(HKEY root, const std::wstring& key, RegistryKeySource source) {
  platform::CMutexLock guard(GetStore().mutex);
  if (source) GetStore().sources[{root, NormaliseKey(key)}] = std::move(source);
  else GetStore().sources.erase({root, NormaliseKey(key)});
}

bool RegistryLoadFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return false;
  static const std::pair<const char*, HKEY> roots[] = {{"HKEY_CLASSES_ROOT\\", HKEY_CLASSES_ROOT},
                                                       {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER},
                                                       {"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE}};
  bool ok = true;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t bar = line.find('|');
    size_t eq = bar == std::string::npos ? std::string::npos : line.find('=', bar);
    bool matched = false;
    if (eq != std::string::npos) {
      for (const auto& root : roots) {
        std::string prefix = root.first;
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        RegistrySetValue(root.second, Utf8ToWide(line.substr(prefix.size(), bar - prefix.size())),
                         Utf8ToWide(line.substr(bar + 1, eq - bar - 1)), Utf8ToWide(line.substr(eq + 1)));
        matched = true;
        break;
      }
    }
    ok = ok && matched;
  }
  return ok;
}

void SetWindowsMajorVersion(int major) { g_majorVersion = major; }
int GetWindowsMajorVersion() { return g_majorVersion; }

bool CRegKey::Open(HKEY root, const std::wstring& key, unsigned access) {
  m_root = root;
  m_key = NormaliseKey(key);
  m_sourced = false;
  m_values.clear();
  RegistryKeySource source;
  {
    platform::CMutexLock guard(GetStore().mutex);
    auto it = GetStore().sources.find({root, m_key});
    if (it != GetStore().sources.end()) source = it->second;
  }
  if (source) {
    // Asked outside the lock: a source may take its time (it may run a program).
    std::map<std::wstring, std::wstring> values;
    m_open = m_sourced = source(&values);
    for (const auto& value : values) m_values[AsciiLower(value.first)] = value.second;
    return m_open;
  }
  platform::CMutexLock guard(GetStore().mutex);
  auto it = GetStore().keys.find({root, m_key});
  m_open = it != GetStore().keys.end() && !((access & KEY_WRITE) == KEY_WRITE && it->second.readOnly);
  return m_open;
}

std::wstring CRegKey::QueryString(const std::wstring& name) const {
  if (!m_open) return std::wstring();
  if (m_sourced) {
    auto value = m_values.find(AsciiLower(name));
    return value == m_values.end() ? std::wstring() : value->second;
  }
  platform::CMutexLock guard(GetStore().mutex);
  auto it = GetStore().keys.find({m_root, m_key});
  if (it == GetStore().keys.end()) return std::wstring();
  auto value = it->second.values.find(AsciiLower(name));
  return value == it->second.values.end() ? std::wstring() : value->second;
}

}  // namespace platform
