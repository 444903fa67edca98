#pragma once
// Reference counting for the test doubles: deleted when the count returns to zero,
// with a live-object counter per type so tests can see leaks and releases.
#include <atomic>

#include "uicontrol/com/qxcom.h"

template <class Derived>
class CountedObject {
 public:
  CountedObject() { ++LiveCount(); }
  virtual ~CountedObject() { --LiveCount(); }

  ULONG DoAddRef() { return ++m_count; }
  ULONG DoRelease() {
    ULONG count = --m_count;
    if (count == 0) delete static_cast<Derived*>(this);
    return count;
  }
  ULONG RefCount() const { return m_count.load(); }

  static std::atomic<int>& LiveCount() {
    static std::atomic<int> live{0};
    return live;
  }

 private:
  std::atomic<ULONG> m_count{0};
};

#define DOUBLE_IUNKNOWN_REFCOUNT                 \
  ULONG AddRef() override { return DoAddRef(); } \
  ULONG Release() override { return DoRelease(); }
