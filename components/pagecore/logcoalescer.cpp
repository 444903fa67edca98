#include "components/pagecore/logcoalescer.h"

#include <algorithm>

namespace pagecore {

CLogCoalescer::CLogCoalescer(Hooks hooks) : m_hooks(std::move(hooks)), m_kinds(std::make_shared<Kinds>()) {}

CLogCoalescer::~CLogCoalescer() { Flush(); }

void CLogCoalescer::WriteCounted(const Hooks& hooks, Kind& kind, webpage::SteadyTime now) {
  if (kind.counted == 0) return;
  const std::string text = kind.counted == 1
                               ? kind.newest
                               : kind.newest + " (" + std::to_string(kind.counted) + " such lines within a second, the last shown)";
  kind.counted = 0;
  kind.newest.clear();
  kind.lastWritten = now;
  kind.written = true;
  hooks.write(kind.level, text);
}

void CLogCoalescer::Write(const std::string& kind, webpage::LogLevel level, const std::string& text) {
  const webpage::SteadyTime now = m_hooks.now();
  Kind& entry = (*m_kinds)[kind];
  // Lines whose flush never ran (the page was not open when it fell due) go out now.
  if (entry.counted > 0 && now - entry.lastWritten >= kWindow) {
    entry.planned = 0;
    WriteCounted(m_hooks, entry, now);
  }
  if (entry.counted == 0 && (!entry.written || now - entry.lastWritten >= kWindow)) {
    entry.lastWritten = now;
    entry.written = true;
    m_hooks.write(level, text);
    return;
  }
  ++entry.counted;
  // The most severe level of the lines counted is the one written.
  if (entry.counted == 1 || level > entry.level) entry.level = level;
  entry.newest = text;
  if (entry.planned != 0) return;
  const uint64_t plan = entry.planned = ++m_plans;
  const auto due = std::chrono::duration_cast<std::chrono::milliseconds>(entry.lastWritten + kWindow - now);
  std::weak_ptr<Kinds> weak = m_kinds;
  Hooks hooks = m_hooks;
  m_hooks.runLater(std::max(due, std::chrono::milliseconds(0)), [weak, hooks, kind, plan] {
    std::shared_ptr<Kinds> kinds = weak.lock();
    if (!kinds) return;
    auto it = kinds->find(kind);
    if (it == kinds->end() || it->second.planned != plan) return;
    it->second.planned = 0;
    WriteCounted(hooks, it->second, hooks.now());
  });
}

void CLogCoalescer::Flush() {
  const webpage::SteadyTime now = m_hooks.now ? m_hooks.now() : webpage::SteadyTime();
  for (auto& [name, kind] : *m_kinds) WriteCounted(m_hooks, kind, now);
}

}  // namespace pagecore
