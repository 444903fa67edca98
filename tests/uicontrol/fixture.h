#pragma once
// A fixture that wires the tab manager to fresh test doubles for every test, records
// the log lines and the callbacks, and runs the worker threads.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "doubles/fakedatastore.h"
#include "doubles/fakewebpage.h"
#include "uicontrol/tabmanager.h"

struct LogLine {
  int level;
  std::string text;  // the caller's text, without header and line feed
};

struct TabEvent {
  unsigned int uID;
  std::wstring key;
  std::wstring value;
};

struct DataEvent {
  std::wstring key;
  std::wstring data;
};

// Collects log lines and callbacks from any thread.
class Recorder {
 public:
  void Install();
  void Uninstall();

  std::vector<LogLine> Logs();
  bool HasLog(int level, const std::string& text);
  size_t CountLogs(int level, const std::string& text);
  void ClearLogs();

  std::vector<TabEvent> TabEvents();
  std::vector<DataEvent> DataEvents();
  std::vector<DataEvent> DataEventsNamed(const std::wstring& key);
  bool WaitForTabEvents(size_t count, std::chrono::seconds deadline = std::chrono::seconds(30));
  bool WaitForData(const std::wstring& key, size_t count, std::chrono::seconds deadline = std::chrono::seconds(30));
  void ClearEvents();

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::vector<LogLine> m_logs;
  std::vector<TabEvent> m_tabEvents;
  std::vector<DataEvent> m_dataEvents;
};

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs every task posted so far on both queues.
  void Drain();

  CTabManager& tm = CTabManager::Instance();
  qxdk::UTIL::com_ptr<FakeWebPageManager> pages;
  qxdk::UTIL::com_ptr<FakeDataStore> store;
  Recorder rec;
};
