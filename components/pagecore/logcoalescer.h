#pragma once
// Log lines a page causes (its dialogs, refused windows, refused requests) counted instead
// of written one by one: a page in a loop would otherwise fill the log. Per kind of line,
// the first is written at once; the ones that follow within a second are counted, and when
// that second is over the newest of them is written once with the count. So each kind
// writes at most one line a second, and the last line of a burst always appears. Used on
// the page's thread only (one coalescer per page).
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "components/webpage/ratelimit.h"
#include "components/webpage/weblog.h"

namespace pagecore {

class CLogCoalescer {
 public:
  struct Hooks {
    // The time the seconds go by.
    std::function<webpage::SteadyTime()> now;
    // Runs a task on the page's thread after a delay (or drops it once the page is gone).
    std::function<void(std::chrono::milliseconds, std::function<void()>)> runLater;
    // Writes one line.
    std::function<void(webpage::LogLevel, const std::string&)> write;
  };
  static constexpr std::chrono::milliseconds kWindow{1000};

  explicit CLogCoalescer(Hooks hooks);
  // Lines still counted are written.
  ~CLogCoalescer();
  CLogCoalescer(const CLogCoalescer&) = delete;
  CLogCoalescer& operator=(const CLogCoalescer&) = delete;

  // A line of `kind` (a short fixed name: "dialog", "popup", ...).
  void Write(const std::string& kind, webpage::LogLevel level, const std::string& text);
  // Writes every line still counted now.
  void Flush();

 private:
  struct Kind {
    webpage::SteadyTime lastWritten{};
    bool written = false;
    int counted = 0;  // lines since the last one written
    webpage::LogLevel level = webpage::LogLevel::Info;
    std::string newest;
    uint64_t planned = 0;  // the flush planned for the lines counted, 0 for none
  };
  using Kinds = std::map<std::string, Kind>;
  static void WriteCounted(const Hooks& hooks, Kind& kind, webpage::SteadyTime now);

  const Hooks m_hooks;
  // Shared with the planned flushes, which find it gone when the coalescer is.
  std::shared_ptr<Kinds> m_kinds;
  uint64_t m_plans = 0;
};

}  // namespace pagecore
