#pragma once
// A host callback that is set rarely and called often, from any thread.
//
// A call counts itself in, reads the current callback with one atomic load, runs it and
// counts itself out: no lock and no reference count on the way. A replaced callback is
// kept aside and destroyed as soon as no call is running (by the setter when the slot is
// idle, else by the last call to finish), so it never outlives the calls that use it by
// more than that, and nothing is cached per thread.
#include <atomic>
#include <memory>
#include <vector>

#include "platform/mutex.h"

template <class F>
class CCallbackSlot {
 public:
  CCallbackSlot() = default;
  CCallbackSlot(const CCallbackSlot&) = delete;
  CCallbackSlot& operator=(const CCallbackSlot&) = delete;
  ~CCallbackSlot() {
    delete m_current.load();
    // No call may run while the slot is destroyed, so every replaced callback can go.
    for (const F* old : m_retired) delete old;
  }

  // Replaces the callback. Calls already running finish with the one they started with.
  // May be called from inside a call (a callback may replace itself).
  void Set(F fn) {
    const F* old = m_current.exchange(new F(std::move(fn)));
    if (!old) return;
    {
      platform::CMutexLock guard(m_retireLock);
      m_retired.push_back(old);
      m_hasRetired.store(true);
    }
    if (m_running.load() == 0) Reclaim();
  }

  // Calls the current callback, if one is set, with the arguments.
  template <class... Args>
  void Call(Args&&... args) const {
    m_running.fetch_add(1);
    const F* fn = m_current.load();
    // The count goes down even when the callback throws.
    struct CountOut {
      const CCallbackSlot* slot;
      ~CountOut() {
        if (slot->m_running.fetch_sub(1) == 1 && slot->m_hasRetired.load()) slot->Reclaim();
      }
    } countOut{this};
    if (fn && *fn) (*fn)(std::forward<Args>(args)...);
  }

 private:
  // Destroys the replaced callbacks when no call runs. A call that starts after the check
  // reads the current callback, never a retired one, so the check needs no more than the
  // count: every retired callback was replaced before the count was seen at zero.
  void Reclaim() const {
    std::vector<const F*> dead;
    {
      platform::CMutexLock guard(m_retireLock);
      if (m_running.load() != 0) return;
      dead.swap(m_retired);
      m_hasRetired.store(false);
    }
    // Destroyed outside the lock: a callback's destructor may run any code.
    for (const F* old : dead) delete old;
  }

  std::atomic<const F*> m_current{nullptr};
  mutable std::atomic<int> m_running{0};
  mutable std::atomic<bool> m_hasRetired{false};
  mutable platform::CMutex m_retireLock;
  mutable std::vector<const F*> m_retired GUARDED_BY(m_retireLock);
};
