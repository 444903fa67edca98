#pragma once
// A small registry store (root, key path, value name -> text) that the host or a
// test fills, optionally from a file, plus a settable Windows major version.
#include <functional>
#include <map>
#include <string>

#include "platform/export.h"

enum HKEY { HKEY_CLASSES_ROOT = 0, HKEY_CURRENT_USER = 1, HKEY_LOCAL_MACHINE = 2 };

#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u

namespace platform {

// Key paths compare without regard to letter case and to '\' against '/', as on Windows.
// An empty value name stands for the key's default value.
PLATFORM_API void RegistrySetValue(HKEY root, const std::wstring& key, const std::wstring& name,
                                   const std::wstring& value);
PLATFORM_API void RegistryCreateKey(HKEY root, const std::wstring& key);
PLATFORM_API void RegistryDeleteKey(HKEY root, const std::wstring& key);
// A read-only key cannot be opened with KEY_WRITE.
PLATFORM_API void RegistrySetKeyReadOnly(HKEY root, const std::wstring& key, bool readOnly);
// Clears the values and the key sources.
PLATFORM_API void RegistryClear();

// A key whose values are asked for each time it is opened, instead of kept here: the
// host's view of a setting the system keeps elsewhere (the default browser). The source
// fills the values (by name; "" the default value) and returns true, or returns false
// when it cannot tell now, and the key then does not open. It is called on the opening
// thread with no lock of the registry held. An empty source makes the key a kept one again.
using RegistryKeySource = std::function<bool(std::map<std::wstring, std::wstring>* values)>;
PLATFORM_API void RegistrySetKeySource(HKEY root, const std::wstring& key, RegistryKeySource source);
// Loads lines "ROOT\key\path|name=value" (ROOT one of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE; an empty name before '=' is the default value). Blank lines and lines
// starting with '#' are skipped. Returns false when the file cannot be read or a line is malformed
// (the well-formed lines are still loaded).
PLATFORM_API bool RegistryLoadFile(const std::string& path);

PLATFORM_API void SetWindowsMajorVersion(int major);
PLATFORM_API int GetWindowsMajorVersion();

// An open registry key, closed when it goes out of scope.
class PLATFORM_API CRegKey {
 public:
  CRegKey() = default;
  bool Open(HKEY root, const std::wstring& key, unsigned access);
  bool IsOpen() const { return m_open; }
  // A missing value reads as empty.
  std::wstring QueryString(const std::wstring& name) const;
  void Close() { m_open = false; }

 private:
  bool m_open = false;
  HKEY m_root = HKEY_CLASSES_ROOT;
  std::wstring m_key;
  // A key with a source: the values it gave when opened, by lower-cased name.
  bool m_sourced = false;
  std::map<std::wstring, std::wstring> m_values;
};

}  // namespace platform
