#pragma once
// The texts a page hands out through GetData and takes back through FreeData. Only a
// pointer handed out here is ever freed: the host may pass anything to FreeData.
#include <cwchar>
#include <set>
#include <string>

#include "platform/mutex.h"

namespace webpage {

class CHandedOutTexts {
 public:
  CHandedOutTexts() = default;
  CHandedOutTexts(const CHandedOutTexts&) = delete;
  CHandedOutTexts& operator=(const CHandedOutTexts&) = delete;
  ~CHandedOutTexts() {
    platform::CMutexLock guard(m_mutex);
    for (wchar_t* text : m_given) delete[] text;
  }

  // A copy of `text` for the host, kept until it comes back.
  wchar_t* Give(const std::wstring& text) {
    auto* copy = new wchar_t[text.size() + 1];
    std::wmemcpy(copy, text.c_str(), text.size() + 1);
    platform::CMutexLock guard(m_mutex);
    m_given.insert(copy);
    return copy;
  }

  // Frees `text` when it was handed out here; false (nothing freed) otherwise.
  bool Take(wchar_t* text) {
    {
      platform::CMutexLock guard(m_mutex);
      if (m_given.erase(text) == 0) return false;
    }
    delete[] text;
    return true;
  }

 private:
  platform::CMutex m_mutex;
  std::set<wchar_t*> m_given GUARDED_BY(m_mutex);
};

}  // namespace webpage
