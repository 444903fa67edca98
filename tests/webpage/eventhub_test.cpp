// Delivery of a page's events to its sinks, without Chromium.
#include "components/webpage/eventhub.h"

#include <gtest/gtest.h>

#include <thread>

#include "components/webpage/engineloop.h"
#include "webpage/testsink.h"

namespace webpage {
namespace {

using webtest::CRecordingSink;

class WebpageEventHubTest : public ::testing::Test {
 protected:
  WebpageEventHubTest() : m_hub([this](std::function<void()> task) { return m_loop.Post(std::move(task)); }) {}
  ~WebpageEventHubTest() override { m_loop.Stop(); }

  // Waits until everything posted so far has been delivered.
  void Drain() {
    webtest::CSignal done;
    m_loop.Post([&] { done.Set(); });
    ASSERT_TRUE(done.Wait());
  }

  CEngineLoop m_loop;
  CEventHub m_hub;
};

TEST_F(WebpageEventHubTest, SinksGetTheirKeysInOrderOnTheLoopThread) {
  auto titles = std::make_shared<CRecordingSink>();
  auto both = std::make_shared<CRecordingSink>();
  EXPECT_NE(m_hub.Subscribe(L"TITLECHANGE", titles), m_hub.Subscribe(L"TITLECHANGE", both));
  m_hub.Subscribe(L"BEFORENAVIGATE", both);
  m_hub.Emit(L"BEFORENAVIGATE", L"URL=a\n");
  m_hub.Emit(L"TITLECHANGE", L"TITLE=1\n");
  m_hub.Emit(L"TITLECHANGE", L"TITLE=2\n");
  m_hub.Emit(L"PROGRESSCHANGE", L"PERCENT=0\n");
  Drain();
  auto got = both->Events();
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ(L"BEFORENAVIGATE", got[0].key);
  EXPECT_EQ(L"TITLE=2\n", got[2].value);
  EXPECT_NE(std::this_thread::get_id(), got[0].thread);
  EXPECT_EQ(2u, titles->Count());
}

TEST_F(WebpageEventHubTest, LateSinksGetTheKeptStateButNotPastHappenings) {
  m_hub.Emit(L"CHLIDHANDLE", L"HWND=2\n");
  m_hub.Emit(L"TITLECHANGE", L"TITLE=old\n");
  m_hub.Emit(L"TITLECHANGE", L"TITLE=new\n");
  m_hub.Emit(L"BEFORENAVIGATE", L"URL=a\n");
  m_hub.Emit(L"NAVIGATECOMPLETE", L"URL=a\n");
  m_hub.Forget(L"NAVIGATECOMPLETE");
  auto late = std::make_shared<CRecordingSink>();
  for (const wchar_t* key : {L"CHLIDHANDLE", L"TITLECHANGE", L"BEFORENAVIGATE", L"NAVIGATECOMPLETE"})
    m_hub.Subscribe(key, late);
  Drain();
  auto got = late->Events();
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ(L"HWND=2\n", got[0].value);
  EXPECT_EQ(L"TITLE=new\n", got[1].value);
  std::wstring kept;
  EXPECT_TRUE(m_hub.Kept(L"TITLECHANGE", &kept));
  EXPECT_FALSE(m_hub.Kept(L"BEFORENAVIGATE", &kept));
}

TEST_F(WebpageEventHubTest, ReleasedSinksAreLetGo) {
  auto sink = std::make_shared<CRecordingSink>();
  m_hub.Subscribe(L"PROCESSCRASH", sink);
  m_hub.Emit(L"PROCESSCRASH", L"STATUS=crashed\n");
  m_hub.ReleaseSinks();
  Drain();
  EXPECT_EQ(1u, sink->Count());
  EXPECT_EQ(1, sink.use_count());
  // A later subscriber still hears how the page ended, and is not kept.
  auto late = std::make_shared<CRecordingSink>();
  m_hub.Subscribe(L"PROCESSCRASH", late);
  m_hub.Emit(L"PROCESSCRASH", L"STATUS=again\n");
  Drain();
  ASSERT_EQ(1u, late->Count());
  EXPECT_EQ(L"STATUS=crashed\n", late->Events()[0].value);
  EXPECT_EQ(1, late.use_count());
}

TEST_F(WebpageEventHubTest, SubscribingWhileEventsFlowNeverReordersThem) {
  // Each sink must see the progress values rising, whether it came before, during or
  // after the emission; a replayed value must not arrive after a newer one.
  std::vector<std::shared_ptr<CRecordingSink>> sinks;
  for (int i = 0; i < 8; ++i) sinks.push_back(std::make_shared<CRecordingSink>());
  std::thread emitter([this] {
    for (int i = 1; i <= 500; ++i) m_hub.Emit(L"PROGRESSCHANGE", L"PERCENT=" + std::to_wstring(i) + L"\n");
  });
  for (auto& sink : sinks) m_hub.Subscribe(L"PROGRESSCHANGE", sink);
  emitter.join();
  Drain();
  for (auto& sink : sinks) {
    long last = 0;
    for (const auto& event : sink->Events()) {
      long value = std::wcstol(CRecordingSink::Param(event.value, L"PERCENT").c_str(), nullptr, 10);
      EXPECT_GT(value, last);
      last = value;
    }
    EXPECT_EQ(500, last);
  }
}

// A hub that knows the engine thread delivers what is emitted there at once.
class WebpageEventHubInlineTest : public WebpageEventHubTest {
 protected:
  WebpageEventHubInlineTest()
      : m_inline([this](std::function<void()> task) { return m_loop.Post(std::move(task)); },
                 [this] { return m_loop.IsLoopThread(); }) {}

  // Runs `task` on the engine thread and waits for it.
  void OnLoop(std::function<void()> task) {
    webtest::CSignal done;
    m_loop.Post([&] {
      task();
      done.Set();
    });
    ASSERT_TRUE(done.Wait());
  }

  CEventHub m_inline;
};

TEST_F(WebpageEventHubInlineTest, AnEventOfTheEngineThreadIsDeliveredBeforeEmitReturns) {
  auto sink = std::make_shared<CRecordingSink>();
  m_inline.Subscribe(L"TITLECHANGE", sink);
  size_t seen = 99;
  OnLoop([&] {
    m_inline.Emit(L"TITLECHANGE", L"TITLE=a\n");
    seen = sink->Count();
  });
  EXPECT_EQ(1u, seen);
  // From any other thread it is posted, and still delivered on the engine thread.
  m_inline.Emit(L"TITLECHANGE", L"TITLE=b\n");
  ASSERT_GE(sink->WaitFor(L"TITLECHANGE", L"TITLE=b"), 0);
  EXPECT_NE(std::this_thread::get_id(), sink->Events()[1].thread);
}

TEST_F(WebpageEventHubInlineTest, AnEventNeverOvertakesOneStillWaitingToBeDelivered) {
  auto sink = std::make_shared<CRecordingSink>();
  m_inline.Subscribe(L"PROGRESSCHANGE", sink);
  OnLoop([&] {
    // Emitted by another thread while the engine thread is busy: queued behind this task.
    std::thread other([&] { m_inline.Emit(L"PROGRESSCHANGE", L"PERCENT=1\n"); });
    other.join();
    m_inline.Emit(L"PROGRESSCHANGE", L"PERCENT=2\n");
  });
  ASSERT_GE(sink->WaitFor(L"PROGRESSCHANGE", L"PERCENT=2"), 0);
  auto got = sink->Events();
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ(L"PERCENT=1\n", got[0].value);
}

TEST_F(WebpageEventHubInlineTest, AnEventEmittedByASinkComesAfterTheOneBeingDelivered) {
  auto first = std::make_shared<CRecordingSink>();
  auto second = std::make_shared<CRecordingSink>();
  first->SetHandler([this](const std::wstring& key, const std::wstring&) {
    if (key == L"TITLECHANGE") m_inline.Emit(L"BEFORENAVIGATE", L"URL=next\n");
  });
  m_inline.Subscribe(L"TITLECHANGE", first);
  m_inline.Subscribe(L"TITLECHANGE", second);
  m_inline.Subscribe(L"BEFORENAVIGATE", second);
  OnLoop([&] { m_inline.Emit(L"TITLECHANGE", L"TITLE=a\n"); });
  ASSERT_GE(second->WaitFor(L"BEFORENAVIGATE"), 0);
  auto got = second->Events();
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ(L"TITLECHANGE", got[0].key) << "every sink sees the events in the order they were emitted";
}

}  // namespace
}  // namespace webpage
