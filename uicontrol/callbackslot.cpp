#include "uicontrol/callbackslot.h"

#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace callbackslot_detail {

__thread ThreadMark* t_mark = nullptr;

namespace {

// One record per thread that ever called a slot, kept for the life of the process in a
// list that only grows; a record freed by an ended thread is taken by the next new one.
struct Record {
  ThreadMark mark;
  std::atomic<bool> taken{true};
  Record* next = nullptr;
};

std::atomic<Record*> g_records{nullptr};

// Asked once: registration is what makes the expedited barrier usable by this process.
bool ProcessBarrierAvailable() {
  static const bool available = [] {
    const long commands = syscall(SYS_membarrier, MEMBARRIER_CMD_QUERY, 0, 0);
    if (commands < 0 || !(commands & MEMBARRIER_CMD_PRIVATE_EXPEDITED)) return false;
    return syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
  }();
  return available;
}

thread_local Record* t_record = nullptr;

// Hands the thread's record back when the thread ends.
struct ReleaseAtThreadEnd {
  ~ReleaseAtThreadEnd() {
    if (!t_record) return;
    t_mark = nullptr;
    t_record->taken.store(false, std::memory_order_release);
    t_record = nullptr;
  }
};

Record* TakeRecord() {
  for (Record* r = g_records.load(std::memory_order_acquire); r; r = r->next) {
    bool expected = false;
    if (!r->taken.load(std::memory_order_relaxed) && r->taken.compare_exchange_strong(expected, true)) return r;
  }
  Record* fresh = new Record;
  fresh->mark.callsNeedNoFence = ProcessBarrierAvailable();
  fresh->next = g_records.load(std::memory_order_relaxed);
  while (!g_records.compare_exchange_weak(fresh->next, fresh, std::memory_order_release, std::memory_order_relaxed)) {
  }
  return fresh;
}

}  // namespace

ThreadMark& MakeThisThreadMark() {
  thread_local ReleaseAtThreadEnd releaser;
  (void)releaser;
  if (!t_record) t_record = TakeRecord();
  t_mark = &t_record->mark;
  return *t_mark;
}

void BarrierOnAllThreads() {
  if (ProcessBarrierAvailable()) syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0);
}

bool AnyThreadInsideACall() {
  for (Record* r = g_records.load(std::memory_order_acquire); r; r = r->next) {
    if (r->mark.depth.load(std::memory_order_seq_cst) != 0) return true;
  }
  return false;
}

}  // namespace callbackslot_detail
