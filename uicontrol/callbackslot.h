#pragma once
// A host callback that is set rarely and called often, from any thread.
//
// A call marks its thread as inside a call (a store to a record of its own thread, no
// locked instruction), reads the current callback with one atomic load, runs it and
// marks its thread out again. A replaced callback is kept aside and destroyed as soon as
// no thread is inside a call (by the setter when none is, else by the call that leaves
// last), so nothing is cached per thread or per slot address.
//
// Why no counter shared by the callers: a page event's whole handling takes a few dozen
// nanoseconds, and two locked increments of a shared counter were half of it. The order
// a call needs (its mark is seen before it reads the callback) is paid instead by the
// setter, which is rare: see callbackslot_detail below.
#include <atomic>
#include <memory>
#include <vector>

#include "platform/mutex.h"
#include "uicontrol/export.h"

namespace callbackslot_detail {

// A thread's count of the slot calls it is inside (any slot; calls may nest). Only its
// own thread writes it; setters read every thread's.
struct ThreadMark {
  std::atomic<unsigned> depth{0};
  // Whether process-wide barriers are available (Linux's membarrier): then a call needs
  // only compiler ordering, and a setter makes every running thread's earlier stores
  // visible with one barrier. Otherwise calls order themselves with locked instructions.
  // The same for every mark of the process.
  bool callsNeedNoFence = false;
};

// The calling thread's mark once it has one: a plain thread variable, so that reaching
// it is one load from the thread's block.
extern UICONTROL_API __thread __attribute__((tls_model("initial-exec"))) ThreadMark* t_mark;

// Makes the calling thread's mark (on its first call; reused after the thread ends).
UICONTROL_API ThreadMark& MakeThisThreadMark();

inline ThreadMark& ThisThreadMark() {
  if (ThreadMark* mark = t_mark) return *mark;
  return MakeThisThreadMark();
}

// Called by a setter before it reads the marks: a barrier on every thread of the process
// (nothing when calls order themselves).
UICONTROL_API void BarrierOnAllThreads();

// Whether any thread's mark says it is inside a call.
UICONTROL_API bool AnyThreadInsideACall();

// Marks the calling thread as inside one more call; the mark is visible to a setter's
// later barrier before this thread reads a callback.
inline ThreadMark& Enter() {
  ThreadMark& mark = ThisThreadMark();
  if (mark.callsNeedNoFence) {
    mark.depth.store(mark.depth.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
  } else {
    mark.depth.fetch_add(1, std::memory_order_seq_cst);
  }
  return mark;
}

// Marks the thread out of a call; true when it is out of every call. The caller then
// reads whether a callback waits to be destroyed: that read stays after this store.
inline bool Leave(ThreadMark& mark) {
  if (mark.callsNeedNoFence) {
    const unsigned depth = mark.depth.load(std::memory_order_relaxed) - 1;
    mark.depth.store(depth, std::memory_order_release);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    return depth == 0;
  }
  return mark.depth.fetch_sub(1, std::memory_order_seq_cst) == 1;
}

}  // namespace callbackslot_detail

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
    Reclaim();
  }

  // Calls the current callback, if one is set, with the arguments.
  template <class... Args>
  void Call(Args&&... args) const {
    callbackslot_detail::ThreadMark& mark = callbackslot_detail::Enter();
    const F* fn = m_current.load(std::memory_order_seq_cst);
    // The mark goes down even when the callback throws.
    struct MarkOut {
      const CCallbackSlot* slot;
      callbackslot_detail::ThreadMark& mark;
      ~MarkOut() {
        if (callbackslot_detail::Leave(mark) && slot->m_hasRetired.load()) slot->Reclaim();
      }
    } markOut{this, mark};
    if (fn && *fn) (*fn)(std::forward<Args>(args)...);
  }

 private:
  // Destroys the replaced callbacks when no thread is inside a call. A call that marks
  // itself after the barrier reads the current callback, never a retired one; a call
  // marked before it is seen by the scan. Either this finds no thread inside, or the
  // thread it saw inside reads m_hasRetired after leaving and comes here itself.
  void Reclaim() const {
    std::vector<const F*> dead;
    {
      platform::CMutexLock guard(m_retireLock);
      if (m_retired.empty()) return;
      callbackslot_detail::BarrierOnAllThreads();
      if (callbackslot_detail::AnyThreadInsideACall()) return;
      dead.swap(m_retired);
      m_hasRetired.store(false);
    }
    // Destroyed outside the lock: a callback's destructor may run any code.
    for (const F* old : dead) delete old;
  }

  std::atomic<const F*> m_current{nullptr};
  mutable std::atomic<bool> m_hasRetired{false};
  mutable platform::CMutex m_retireLock;
  mutable std::vector<const F*> m_retired GUARDED_BY(m_retireLock);
};
