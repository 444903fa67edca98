#include "components/datastore/notifier.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/thread.h"

namespace datastore {

namespace {

// One subscription's sink reference; dropped (and the sink released) by whoever holds
// the last copy, never under the notifier's lock.
struct SinkRef {
  explicit SinkRef(INotifierStub* p) : sink(p) { sink->AddRef(); }
  ~SinkRef() { sink->Release(); }
  SinkRef(const SinkRef&) = delete;
  SinkRef& operator=(const SinkRef&) = delete;
  INotifierStub* sink;
};

struct Subscription {
  std::wstring name;
  std::shared_ptr<SinkRef> ref;
  uintptr_t cookie;
};

struct Event {
  std::wstring name;
  std::wstring value;
  std::wstring extra;
};

}  // namespace

struct CNotifier::State {
  explicit State(const CLogger& log) : logger(log) {}

  CLogger logger;
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Event> queue;
  std::vector<Subscription> subscriptions;
  uintptr_t nextCookie = 1;
  bool stopping = false;
  platform::ThreadHandle thread;

  void Run();
};

void CNotifier::State::Run() {
  for (;;) {
    Event event;
    std::vector<std::shared_ptr<SinkRef>> sinks;
    {
      std::unique_lock<std::mutex> lock(mutex);
      wake.wait(lock, [this] { return stopping || !queue.empty(); });
      if (queue.empty()) return;  // stopping, and everything posted was delivered
      event = std::move(queue.front());
      queue.pop_front();
      for (const Subscription& s : subscriptions) {
        if (s.name == event.name) sinks.push_back(s.ref);
      }
    }
    for (const auto& ref : sinks) {
      try {
        ref->sink->Notify(event.name.c_str(), event.value.c_str(), event.extra.c_str());
      } catch (...) {
        logger.Write(LogLevel::Error, "a notification sink threw an exception");
      }
    }
  }
}

CNotifier::CNotifier(const CLogger& logger) : m_state(std::make_shared<State>(logger)) {}

CNotifier::~CNotifier() { Stop(); }

bool CNotifier::Start() {
  std::shared_ptr<State> state = m_state;
  // The thread keeps the state alive, so it can finish even after the store is gone.
  platform::ThreadHandle thread = platform::CreateThread([state] { state->Run(); });
  if (!thread) return false;
  std::lock_guard<std::mutex> lock(state->mutex);
  state->thread = std::move(thread);
  return true;
}

void CNotifier::Subscribe(const std::wstring& name, INotifierStub* sink, uintptr_t* cookie) {
  auto ref = std::make_shared<SinkRef>(sink);
  uintptr_t result = 0;
  {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    for (const Subscription& s : m_state->subscriptions) {
      if (s.name == name && s.ref->sink == sink) result = s.cookie;
    }
    if (result == 0) {
      result = m_state->nextCookie++;
      m_state->subscriptions.push_back(Subscription{name, ref, result});
    }
  }
  if (cookie) *cookie = result;
  // An unused duplicate reference is released here, outside the lock.
}

void CNotifier::Post(const std::wstring& name, const std::wstring& value, const std::wstring& extra) {
  {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->queue.push_back(Event{name, value, extra});
  }
  m_state->wake.notify_one();
}

void CNotifier::Stop() {
  platform::ThreadHandle thread;
  bool onOwnThread = false;
  {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->stopping = true;
    thread = std::move(m_state->thread);
    onOwnThread = thread && thread->get_id() == std::this_thread::get_id();
  }
  m_state->wake.notify_one();
  if (onOwnThread) {
    // Joining ourselves is impossible: the thread delivers what is left and ends; its
    // state (and with it the sink references) goes when it does.
    thread->detach();
    return;
  }
  if (thread) platform::JoinAndClose(thread);
  std::vector<Subscription> subscriptions;
  {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    subscriptions.swap(m_state->subscriptions);
  }
  // The sink references are released here, after the join and outside the lock.
}

}  // namespace datastore
