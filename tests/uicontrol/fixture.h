#pragma once
// A fixture that wires the tab manager to fresh test doubles for every test, records
// the log lines and the callbacks, and runs the worker threads.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
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

// Holds the UI worker until released, so that tests can look before a task runs.
class UIQueueGate {
 public:
  UIQueueGate() {
    CTabManager::UITaskQueue()->PostTask(std::make_shared<Gate>(m_release.get_future().share(), &m_entered));
    m_entered.get_future().wait();
  }
  void Open() { m_release.set_value(); }

 private:
  class Gate : public ITabTask {
   public:
    Gate(std::shared_future<void> release, std::promise<void>* entered) : m_release(release), m_entered(entered) {}
    bool Execute() override {
      m_entered->set_value();
      m_release.wait();
      return true;
    }

   private:
    std::shared_future<void> m_release;
    std::promise<void>* m_entered;
  };
  std::promise<void> m_release;
  std::promise<void> m_entered;
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
