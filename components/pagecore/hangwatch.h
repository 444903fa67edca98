#pragma once
// Whether a page's renderer still answers, the same for every engine: a page whose
// renderer has not answered for `limit` is reported once ("PAGEUNRESPONSIVE" with
// SECONDS=<how long, in decimal seconds>), and once more with SECONDS=0 when it answers
// again. Nothing is reported for a page that is not open (crashed or closed): a renderer
// that died answers nothing, and its page says so with "PROCESSCRASH" instead.
//
// The watch asks the renderer for a trivial answer every `interval` through the engine
// (`ask`); an engine with a verdict of its own (WebKit's is-web-process-responsive) feeds
// it too. Everything runs on the page's thread, on the engine's own timers.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "components/pagecore/tunables.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/ratelimit.h"

namespace pagecore {

class CHangWatch {
 public:
  struct Hooks {
    // Runs a task on the page's thread after a delay; the engine drops it once the page
    // is gone or closed (not while it is crashed: the watch goes on once it comes back).
    std::function<void(std::chrono::milliseconds, std::function<void()>)> runLater;
    std::function<webpage::SteadyTime()> now;
    // Whether the page is open (neither crashed nor closed) now.
    std::function<bool()> open;
    // Asks the renderer for a trivial answer; `answered` runs on the page's thread with
    // true when the renderer answered, false when the question was lost without an answer
    // (a renderer that died, a failed call): it is asked again, and the count goes on.
    std::function<void(std::function<void(bool answered)> answered)> ask;
    std::function<void(const wchar_t*, const webpage::KeyValues&)> emit;
    // The page's name in log lines.
    std::string name;
    std::chrono::milliseconds limit = kUnresponsiveAfter;
    std::chrono::milliseconds interval = kResponsivenessPing;
  };

  explicit CHangWatch(Hooks hooks);

  // Begins watching the page (again: a new view, a revived page); what an earlier start
  // asked is forgotten.
  void Start();
  // The engine's own verdict on its renderer: false starts the count now (unless one
  // runs), true is an answer.
  void Responsive(bool responsive);
  // The page crashed or closed: the count ends without a word, and answers to what was
  // asked before are not counted (the engine tells the watch at once, before a next order
  // may bring the page back).
  void Ended();
  // Whether the host was last told that the page does not answer.
  bool Reported() const { return m_reported; }

 private:
  void Tick(uint64_t chain);
  void Answered(uint64_t question, bool answered);
  // The renderer answered: the count ends, and the host hears of it if it was told.
  void Answering();

  const Hooks m_hooks;
  uint64_t m_chain = 0;     // each Start begins a new chain of ticks; older ones end
  uint64_t m_question = 0;  // the serial of the last question asked
  bool m_asking = false;    // a question waits for its answer
  bool m_silent = false;    // the renderer has not answered since m_since
  webpage::SteadyTime m_since{};
  bool m_reported = false;
};

// The "SECONDS" value of "PAGEUNRESPONSIVE": decimal seconds with one digit after the point.
std::wstring SecondsText(std::chrono::milliseconds silent);

}  // namespace pagecore
