// The singleton, its slots and callbacks, and the worker threads.
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <set>
#include <thread>

#include "fixture.h"
#include "logging/logging.h"
#include "platform/thread.h"
#include "platform/window.h"

namespace {

class CThreadIdTask : public ITabTask {
 public:
  explicit CThreadIdTask(std::promise<std::thread::id>* out) : m_out(out) {}
  bool Execute() override {
    m_out->set_value(std::this_thread::get_id());
    return true;
  }

 private:
  std::promise<std::thread::id>* m_out;
};

std::thread::id WorkerId(CTabTaskQueue& queue) {
  std::promise<std::thread::id> id;
  auto future = id.get_future();
  queue.PostTask(std::make_shared<CThreadIdTask>(&id));
  EXPECT_EQ(future.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  return future.get();
}

}  // namespace

TEST(TabManager, IsOneObjectAnsweringTheSinkInterfaces) {
  CTabManager& tm = CTabManager::Instance();
  EXPECT_EQ(&tm, &CTabManager::Instance());

  void* p = nullptr;
  ULONG before = tm.AddRef();
  tm.Release();
  EXPECT_EQ(tm.QueryInterface(IID_IUnknown, &p), S_OK);
  EXPECT_EQ(p, static_cast<INotifierStub*>(&tm));
  EXPECT_EQ(tm.QueryInterface(IID_INotifySink, &p), S_OK);
  EXPECT_EQ(tm.Release(), before);  // the two queries added one each
  EXPECT_EQ(tm.Release(), before - 1);

  void* untouched = &tm;
  EXPECT_EQ(tm.QueryInterface(IWebPage::iid, &untouched), E_NOINTERFACE);
  EXPECT_EQ(untouched, &tm);
  EXPECT_EQ(tm.QueryInterface(IDataAccessor::iid, &untouched), E_NOINTERFACE);
}

TEST(TabManager, StartQuitAndRestart) {
  CTabManager& tm = CTabManager::Instance();
  tm.Quit();  // before Start: returns at once
  tm.Quit();
  ASSERT_TRUE(tm.Start());
  std::thread::id io = WorkerId(*CTabManager::IOTaskQueue());
  std::thread::id ui = WorkerId(*CTabManager::UITaskQueue());
  EXPECT_NE(io, ui);
  EXPECT_NE(io, std::this_thread::get_id());

  ASSERT_TRUE(tm.Start());  // already running: the same threads stay
  EXPECT_EQ(WorkerId(*CTabManager::IOTaskQueue()), io);
  EXPECT_EQ(WorkerId(*CTabManager::UITaskQueue()), ui);

  tm.Quit();
  tm.Quit();
  // Tasks posted while stopped wait, then run on the new workers.
  std::promise<std::thread::id> waiting;
  auto future = waiting.get_future();
  CTabManager::UITaskQueue()->PostTask(std::make_shared<CThreadIdTask>(&waiting));
  EXPECT_EQ(future.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  ASSERT_TRUE(tm.Start());
  ASSERT_EQ(future.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  EXPECT_NE(future.get(), ui);
  tm.Quit();
}

// Runs a function on the worker.
class CFnTask : public ITabTask {
 public:
  explicit CFnTask(std::function<void()> fn) : m_fn(std::move(fn)) {}
  bool Execute() override {
    m_fn();
    return true;
  }

 private:
  std::function<void()> m_fn;
};

TEST(TabManager, TasksPostedBehindTheQuitRunAfterTheNextStart) {
  CTabManager& tm = CTabManager::Instance();
  ASSERT_TRUE(tm.Start());
  std::shared_ptr<CTabTaskQueue> io = CTabManager::IOTaskQueue();
  std::promise<void> busy, release, behind;
  std::shared_future<void> releaseFuture = release.get_future().share();
  io->PostTask(std::make_shared<CFnTask>([&] {
    busy.set_value();
    releaseFuture.wait();
  }));
  busy.get_future().wait();
  std::thread quitter([&] { tm.Quit(); });
  // Quit has queued its task once the busy worker's queue holds one.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (io->PendingCount() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  ASSERT_EQ(io->PendingCount(), 1u);
  io->PostTask(std::make_shared<CFnTask>([&] { behind.set_value(); }));
  release.set_value();
  quitter.join();
  std::future<void> ran = behind.get_future();
  EXPECT_EQ(ran.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout) << "the quit came first";
  ASSERT_TRUE(tm.Start());
  EXPECT_EQ(ran.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  tm.Quit();
}

TEST(TabManager, FailedStartLeavesNothingBehind) {
  CTabManager& tm = CTabManager::Instance();
  tm.Quit();
  // The IO worker starts, the UI worker cannot be created.
  platform::FailThreadCreationForTest(1, 1);
  EXPECT_FALSE(tm.Start());
  EXPECT_EQ(CTabManager::IOTaskQueue()->PendingCount(), 0u) << "the quit task was taken by the IO worker";
  tm.Quit();  // nothing running: returns at once

  // Neither worker may be created.
  platform::FailThreadCreationForTest(0, 1);
  EXPECT_FALSE(tm.Start());

  // A later Start gives two workers that serve their queues.
  ASSERT_TRUE(tm.Start());
  WorkerId(*CTabManager::IOTaskQueue());
  WorkerId(*CTabManager::UITaskQueue());
  tm.Quit();
}

TEST(TabManager, CallbacksAreCalledDirectlyAndCanBeCleared) {
  std::vector<std::wstring> seen;
  CTabManager::RegisterNotify([&](unsigned int uID, const wchar_t* key, const wchar_t* value) {
    seen.push_back(std::to_wstring(uID) + L":" + key + L"=" + value);
  });
  CTabManager::Notify(3, L"K", L"V");
  CTabManager::RegisterNotify(nullptr);
  CTabManager::Notify(4, L"K", L"V");
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"3:K=V"}));

  std::wstring data;
  CTabManager::RegisterDataNotify([&](const wchar_t* key, const std::wstring& d) { data = std::wstring(key) + L"|" + d; });
  CTabManager::NotifyData(L"GetRecoverList", L"<x/>");
  CTabManager::RegisterDataNotify(nullptr);
  CTabManager::NotifyData(L"GetRecoverList", L"dropped");
  EXPECT_EQ(data, L"GetRecoverList|<x/>");
}

TEST(TabManager, SettersStoreWhateverTheyGetAndChecksStayOff) {
  // With checks off a setter neither reports nor tests its argument.
  std::vector<std::string> lines;
  logging::SetMessageHook([&](int, const char*, int, size_t, const std::string& t) {
    lines.push_back(t);
    return true;
  });
  CTabManager::SetMainWndHwnd(nullptr);
  EXPECT_EQ(CTabManager::GetMainWndHwnd(), nullptr);
  HWND main = platform::CreateWindowHandle();
  CTabManager::SetMainWndHwnd(main);
  EXPECT_EQ(CTabManager::GetMainWndHwnd(), main);
  CTabManager::SetWebPageManager(nullptr);
  EXPECT_FALSE(CTabManager::GetWebPageManager());
  EXPECT_TRUE(lines.empty());

  // Checks switched on: the check lines appear, and the assignment is still made.
  logging::SetChecksSwitch(1);
  CTabManager::SetMainWndHwnd(nullptr);
  CTabManager::GetWebPageManager();
  logging::SetChecksSwitch(0);
  logging::SetMessageHook(nullptr);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find("Check failed: hWnd."), std::string::npos);
  EXPECT_NE(lines[1].find("Check failed: ::IsWindow(hWnd)."), std::string::npos);
  EXPECT_NE(lines[2].find("Check failed: m_spWebPageManager."), std::string::npos);
  EXPECT_EQ(CTabManager::GetMainWndHwnd(), nullptr);
}
