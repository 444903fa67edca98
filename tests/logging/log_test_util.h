#pragma once
// Shared pieces of the logging tests.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "payload_line.h"
#include "platform/windef.h"

namespace logtest {

// Every case starts and ends with the settings at load and the platform's test
// overrides removed.
class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Installs a message hook that records every entry and, when `suppress`, stops it there.
struct HookRecord {
  int level;
  const char* file;
  int line;
  size_t messageStart;
  std::string text;
};
std::vector<HookRecord>& RecordEntries(bool suppress = true);

// Redirects file descriptor 2 into a temporary file until Finish.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  std::string Finish();

 private:
  int m_saved = -1;
  int m_file = -1;
};

// A fresh empty folder under the test temporary folder, ending in '/'.
std::string MakeTempDir(const std::string& name);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
void WriteExecutable(const std::string& path, const std::string& script);
// Makes platform::ExecutableFolder() report `folder` (ending in '/').
void SetExecutableFolder(const std::string& folder);
SYSTEMTIME FixedTime(int month, int day, int hour, int minute, int second);
std::vector<std::string> SplitLines(const std::string& text);

// Matches the start of `text` against `pattern`, in which "%d" stands for one or more
// decimal digits and "%w" for one or more letters, digits or '_'; everything else is
// literal. Returns the length matched (npos when it does not match) and what each
// placeholder matched.
size_t MatchPrefix(const std::string& text, const std::string& pattern, std::vector<std::string>* captures = nullptr);
inline bool Matches(const std::string& text, const std::string& pattern,
                    std::vector<std::string>* captures = nullptr) {
  return MatchPrefix(text, pattern, captures) == text.size();
}

// Collects everything written into a FIFO. Open it before the first writer, start it
// once a writer has opened the FIFO (a reader alone would see the end at once), and
// finish it after the last writer has closed it.
class FifoReader {
 public:
  explicit FifoReader(const std::string& path);
  ~FifoReader();
  void Start();
  std::string Finish();

 private:
  int m_fd = -1;
  std::string m_data;
  std::thread m_thread;
};

// The helper program: runs it with the arguments and returns its exit status.
int RunHelper(const std::vector<std::string>& args);
// Starts it without waiting; returns its pid.
int StartHelper(const std::vector<std::string>& args);
int WaitHelper(int pid);

// Checks that every line of `text` is a whole "[pid=N tid=N INFO file(line)] " + payload
// line of the expected length; counts the lines per tag. Returns an empty text when all
// are whole, else a description of the first broken line.
std::string CheckWholeLines(const std::string& text, size_t length, std::map<std::string, int>* counts);

}  // namespace logtest
