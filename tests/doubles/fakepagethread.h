#pragma once
// A page thread scripted by the test, for the engine-neutral page core: its clock moves
// only when the test advances it, delayed tasks run in due order as it does, events are
// delivered at once and recorded, and the engine's "stop loading" is counted. Everything
// runs on the test's own thread, so that the core's rules are checked without a browser,
// fast and the same every time.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "components/pagecore/pagereport.h"
#include "components/webpage/eventhub.h"

class FakePageThread {
 public:
  struct Event {
    std::wstring key;
    std::wstring value;
  };

  FakePageThread();
  ~FakePageThread();

  // Hooks for a CPageReport that lives on this thread.
  pagecore::CPageReport::Hooks Hooks(std::chrono::milliseconds loadTimeout = std::chrono::seconds(60));

  // Moves the clock on, running every task that falls due on the way, in due order.
  void Advance(std::chrono::milliseconds by);
  webpage::SteadyTime Now() const { return m_now; }
  size_t WaitingTasks() const { return m_tasks.size(); }

  const std::vector<Event>& Events() const;
  // The keys of the events so far, in order.
  std::vector<std::wstring> Keys() const;
  // Each event as "KEY VALUE" with the value's lines joined by '|', for one-line checks.
  std::vector<std::wstring> Lines() const;
  int Stops() const { return m_stops; }

 private:
  class Recorder;
  std::shared_ptr<Recorder> m_recorder;
  std::shared_ptr<webpage::CEventHub> m_hub;
  webpage::SteadyTime m_now{};
  std::multimap<webpage::SteadyTime, std::function<void()>> m_tasks;
  int m_stops = 0;
};
