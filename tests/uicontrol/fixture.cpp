#include "fixture.h"

#include <algorithm>
#include <future>

#include "logging/logging.h"

namespace {

// A task that completes a promise, to learn when a queue has reached it.
class CTaskSignal : public ITabTask {
 public:
  explicit CTaskSignal(std::promise<void>* done) : m_done(done) {}
  bool Execute() override {
    m_done->set_value();
    return true;
  }

 private:
  std::promise<void>* m_done;
};

void DrainQueue(CTabTaskQueue& queue) {
  std::promise<void> done;
  queue.PostTask(std::make_shared<CTaskSignal>(&done));
  ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
}

}  // namespace

void Recorder::Install() {
  logging::SetMessageHook([this](int level, const char*, int, size_t start, const std::string& text) {
    std::string message = text.substr(std::min(start, text.size()));
    if (!message.empty() && message.back() == '\n') message.pop_back();
    std::lock_guard<std::mutex> guard(m_mutex);
    m_logs.push_back({level, message});
    return true;  // keep test output quiet
  });
  CTabManager::RegisterNotify([this](unsigned int uID, const wchar_t* key, const wchar_t* value) {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_tabEvents.push_back({uID, key ? key : L"", value ? value : L""});
    }
    m_cond.notify_all();
  });
  CTabManager::RegisterDataNotify([this](const wchar_t* key, const std::wstring& data) {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_dataEvents.push_back({key ? key : L"", data});
    }
    m_cond.notify_all();
  });
}

void Recorder::Uninstall() {
  CTabManager::RegisterNotify(nullptr);
  CTabManager::RegisterDataNotify(nullptr);
  logging::SetMessageHook(nullptr);
}

std::vector<LogLine> Recorder::Logs() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_logs;
}

size_t Recorder::CountLogs(int level, const std::string& text) {
  std::lock_guard<std::mutex> guard(m_mutex);
  return std::count_if(m_logs.begin(), m_logs.end(),
                       [&](const LogLine& l) { return l.level == level && l.text == text; });
}

bool Recorder::HasLog(int level, const std::string& text) { return CountLogs(level, text) > 0; }

void Recorder::ClearLogs() {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_logs.clear();
}

std::vector<TabEvent> Recorder::TabEvents() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_tabEvents;
}

std::vector<DataEvent> Recorder::DataEvents() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_dataEvents;
}

std::vector<DataEvent> Recorder::DataEventsNamed(const std::wstring& key) {
  std::lock_guard<std::mutex> guard(m_mutex);
  std::vector<DataEvent> out;
  for (const auto& e : m_dataEvents) {
    if (e.key == key) out.push_back(e);
  }
  return out;
}

bool Recorder::WaitForTabEvents(size_t count, std::chrono::seconds deadline) {
  std::unique_lock<std::mutex> guard(m_mutex);
  return m_cond.wait_for(guard, deadline, [&] { return m_tabEvents.size() >= count; });
}

bool Recorder::WaitForData(const std::wstring& key, size_t count, std::chrono::seconds deadline) {
  std::unique_lock<std::mutex> guard(m_mutex);
  return m_cond.wait_for(guard, deadline, [&] {
    return static_cast<size_t>(std::count_if(m_dataEvents.begin(), m_dataEvents.end(),
                                             [&](const DataEvent& e) { return e.key == key; })) >= count;
  });
}

void Recorder::ClearEvents() {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_tabEvents.clear();
  m_dataEvents.clear();
}

void LibraryTest::SetUp() {
  rec.Install();
  pages = new FakeWebPageManager();
  store = new FakeDataStore();
  CTabManager::SetWebPageManager(pages);
  CTabManager::SetDataAccessor(store);
  ASSERT_TRUE(tm.Start());
  Drain();  // tasks posted while installing the store
  store->ClearCalls();
  rec.ClearLogs();
}

void LibraryTest::TearDown() {
  tm.CloseAllTab();
  Drain();
  tm.Quit();
  CTabManager::SetWebPageManager(nullptr);
  CTabManager::SetDataAccessor(nullptr);
  CTabManager::SetAddFavoriteDlg(nullptr);
  CTabManager::SetEditFavoriteDlg(nullptr);
  rec.Uninstall();
  if (pages) pages->ForgetPages();
}

void LibraryTest::Drain() {
  DrainQueue(*CTabManager::UITaskQueue());
  DrainQueue(*CTabManager::IOTaskQueue());
  // A UI task may have posted IO work and the other way round.
  DrainQueue(*CTabManager::UITaskQueue());
  DrainQueue(*CTabManager::IOTaskQueue());
}
