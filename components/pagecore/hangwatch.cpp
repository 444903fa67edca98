#include "components/pagecore/hangwatch.h"

#include <cstdio>

#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace pagecore {

CHangWatch::CHangWatch(Hooks hooks) : m_hooks(std::move(hooks)) {}

std::wstring SecondsText(std::chrono::milliseconds silent) {
  if (silent.count() <= 0) return L"0";
  wchar_t text[32];
  std::swprintf(text, sizeof text / sizeof text[0], L"%lld.%lld", static_cast<long long>(silent.count() / 1000),
                static_cast<long long>(silent.count() % 1000 / 100));
  return text;
}

void CHangWatch::Start() {
  ++m_chain;
  ++m_question;  // answers to questions of an earlier start are stale
  m_asking = false;
  m_silent = false;
  m_reported = false;
  const uint64_t chain = m_chain;
  m_hooks.runLater(m_hooks.interval, [this, chain] { Tick(chain); });
}

void CHangWatch::Tick(uint64_t chain) {
  if (chain != m_chain) return;
  if (!m_hooks.open()) {
    Ended();
    m_hooks.runLater(m_hooks.interval, [this, chain] { Tick(chain); });
    return;
  }
  const webpage::SteadyTime now = m_hooks.now();
  // The count runs from the first question after the last answer, or from the engine's
  // verdict when that came first (a question still waiting after the engine said the page
  // answers counts from now).
  if (!m_silent) {
    m_silent = true;
    m_since = now;
  }
  if (!m_asking) {
    m_asking = true;
    const uint64_t question = ++m_question;
    m_hooks.ask([this, question](bool answered) { Answered(question, answered); });
  }
  const auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_since);
  if (m_silent && !m_reported && silent >= m_hooks.limit && m_hooks.open()) {
    m_reported = true;
    const std::wstring seconds = SecondsText(silent);
    webpage::LogWarning(m_hooks.name + ": the page has not answered for " + platform::WideToUtf8(seconds) + " s");
    m_hooks.emit(L"PAGEUNRESPONSIVE", {{L"SECONDS", seconds}});
  }
  if (chain == m_chain) m_hooks.runLater(m_hooks.interval, [this, chain] { Tick(chain); });
}

void CHangWatch::Responsive(bool responsive) {
  if (!m_hooks.open()) return;
  if (responsive) return Answering();
  if (!m_silent) {
    m_silent = true;
    m_since = m_hooks.now();
  }
}

void CHangWatch::Answered(uint64_t question, bool answered) {
  if (question != m_question || !m_asking) return;  // asked before a crash or a new start
  m_asking = false;
  if (answered && m_hooks.open()) Answering();
}

void CHangWatch::Answering() {
  m_silent = false;
  if (!m_reported) return;
  m_reported = false;
  webpage::LogInfo(m_hooks.name + ": the page answers again");
  m_hooks.emit(L"PAGEUNRESPONSIVE", {{L"SECONDS", L"0"}});
}

void CHangWatch::Ended() {
  ++m_question;
  m_asking = false;
  m_silent = false;
  m_reported = false;
}

}  // namespace pagecore
