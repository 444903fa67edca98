#pragma once
// Limits on what a page may make the engine send to the host, so that no page can keep
// the host's queues busy. Both are plain state machines: the caller passes the time, so
// that they can be tested without waiting.
#include <chrono>
#include <cstdint>

namespace webpage {

using SteadyTime = std::chrono::steady_clock::time_point;

// For values of which only the newest matters (title, icon, status text): one value may
// pass at once, later ones at most once per `gap`. A value that comes too soon waits
// for the end of the gap; when that comes, the newest value waiting is delivered, so
// the last value always arrives.
class CLatestValueGate {
 public:
  explicit CLatestValueGate(std::chrono::milliseconds gap) : m_gap(gap) {}

  enum class Decision {
    SendNow,        // deliver the value now
    ScheduleFlush,  // keep the value; call Flush(ticket) after *delay
    Waiting,        // keep the value; a flush is already scheduled
  };
  Decision Offer(SteadyTime now, std::chrono::milliseconds* delay, uint64_t* ticket);
  // The scheduled flush has come: true when it is still valid (deliver the newest value
  // kept then); false for a flush from before the last Reset.
  bool Flush(SteadyTime now, uint64_t ticket);
  // Forgets the past (a new document): the next value passes at once and flushes
  // scheduled before are void.
  void Reset();

 private:
  const std::chrono::milliseconds m_gap;
  bool m_sentBefore = false;
  SteadyTime m_lastSent{};
  bool m_flushScheduled = false;
  uint64_t m_ticket = 0;
};

// For events that each count (refused windows): a bucket of `burst` that refills one
// event per `refill`. Allow() is false while the bucket is empty; Dropped() counts the
// refusals since the last time it was read.
class CEventBudget {
 public:
  CEventBudget(int burst, std::chrono::milliseconds refill) : m_burst(burst), m_refill(refill), m_tokens(burst) {}
  bool Allow(SteadyTime now);
  uint64_t TakeDropped();

 private:
  const int m_burst;
  const std::chrono::milliseconds m_refill;
  int m_tokens;
  bool m_started = false;
  SteadyTime m_last{};
  uint64_t m_dropped = 0;
};

}  // namespace webpage
