#pragma once
// The shell's log file: the library's entries and the components' log lines go to
// <profile>/shell.log instead of the terminal, where they would break the screen.
#include <cstdio>
#include <string>

#include "platform/mutex.h"

// The text with every byte that is not part of valid UTF-8 replaced by U+FFFD, so that the
// log stays a UTF-8 file whatever a page or a component wrote.
std::string ValidUtf8(const std::string& text);
// The library writes some of its entries in GB18030: such a text (one that is not UTF-8
// but reads whole as GB18030) is converted; anything else goes through ValidUtf8.
std::string LibraryTextToUtf8(const std::string& text);

class CShellLog {
 public:
  // Opens (appends to) the file; without it the lines go to standard error as before.
  explicit CShellLog(const std::string& path);
  ~CShellLog();
  CShellLog(const CShellLog&) = delete;
  CShellLog& operator=(const CShellLog&) = delete;

  // Routes the library's logging, the data store's and the page engine's lines here.
  // (The data store takes its sink through its options: use Write.)
  void InstallLibraryHook();
  void InstallPageEngineSink();
  void Write(const std::string& source, const std::string& text);
  bool IsOpen() const { return m_open; }

 private:
  platform::CMutex m_mutex;
  FILE* m_file GUARDED_BY(m_mutex) = nullptr;
  bool m_open = false;  // fixed once constructed
};
