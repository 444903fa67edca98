#include "components/datastore/notifier.h"

#include <utility>

namespace datastore {

// One subscription's sink reference; dropped (and the sink released) by whoever holds
// the last copy, never under the notifier's lock.
struct CNotifier::SinkRef {
  explicit SinkRef(INotifierStub* p) : sink(p) { sink->AddRef(); }
  ~SinkRef() { sink->Release(); }
  SinkRef(const SinkRef&) = delete;
  SinkRef& operator=(const SinkRef&) = delete;
  INotifierStub* sink;
};

struct CNotifier::Subscription {
  std::wstring name;
  std::shared_ptr<SinkRef> ref;
  uintptr_t cookie;
};

CNotifier::CNotifier(const CLogger& logger)
    : m_logger(std::make_shared<const CLogger>(logger)), m_loop("store notifications", platform::CTaskLoop::Mode::OwnThread,
                               platform::CTaskLoop::OnStop::Run) {
  std::shared_ptr<const CLogger> log = m_logger;
  m_loop.SetReportHook([log](const std::string& line) { log->Write(LogLevel::Error, "notifications: " + line); });
}

CNotifier::~CNotifier() { Stop(); }

bool CNotifier::Start() { return m_loop.Start(); }

void CNotifier::Subscribe(const std::wstring& name, INotifierStub* sink, uintptr_t* cookie) {
  auto ref = std::make_shared<SinkRef>(sink);
  uintptr_t result = 0;
  {
    platform::CMutexLock lock(m_mutex);
    for (const Subscription& s : m_subscriptions) {
      if (s.name == name && s.ref->sink == sink) result = s.cookie;
    }
    if (result == 0) {
      result = m_nextCookie++;
      m_subscriptions.push_back(Subscription{name, ref, result});
    }
  }
  if (cookie) *cookie = result;
  // An unused duplicate reference is released here, outside the lock.
}

void CNotifier::Post(const std::wstring& name, const std::wstring& value, const std::wstring& extra) {
  std::vector<std::shared_ptr<SinkRef>> sinks;
  {
    platform::CMutexLock lock(m_mutex);
    for (const Subscription& s : m_subscriptions) {
      if (s.name == name) sinks.push_back(s.ref);
    }
  }
  if (sinks.empty()) return;
  // The task holds what it needs: it may run after the notifier is gone (see Stop).
  m_loop.Post([sinks = std::move(sinks), name, value, extra, log = m_logger] {
    for (const auto& ref : sinks) {
      // One failing sink does not keep the change from the others.
      try {
        ref->sink->Notify(name.c_str(), value.c_str(), extra.c_str());
      } catch (...) {
        log->Write(LogLevel::Error, "a notification sink threw an exception");
      }
    }
  });
}

void CNotifier::Stop() {
  m_loop.Stop();
  if (m_loop.IsCurrent()) return;  // the notifying thread finishes on its own
  std::vector<Subscription> subscriptions;
  {
    platform::CMutexLock lock(m_mutex);
    subscriptions.swap(m_subscriptions);
  }
  // The sink references are released here, after the join and outside the lock.
}

}  // namespace datastore
