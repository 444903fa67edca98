#include "components/pagecore/hints.h"

#include <cwctype>

#include <nlohmann/json.hpp>

#include "components/pagecore/hintscript.h"
#include "components/pagecore/pageactions.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"

namespace pagecore {

const wchar_t kHintAlphabet[] = L"asdfghjkl";

std::vector<std::wstring> HintLabels(size_t count, const std::wstring& alphabet) {
  std::vector<std::wstring> labels;
  const size_t base = alphabet.size();
  if (count == 0 || base < 2) return labels;
  size_t length = 1, room = base;
  while (room < count) {
    ++length;
    room *= base;
  }
  labels.reserve(count);
  for (size_t n = 0; n < count; ++n) {
    std::wstring label(length, alphabet[0]);
    size_t rest = n;
    for (size_t place = length; place-- > 0; rest /= base) label[place] = alphabet[rest % base];
    labels.push_back(std::move(label));
  }
  return labels;
}

void CHintSession::Start(std::vector<std::wstring> labels) {
  m_labels = std::move(labels);
  m_typed.clear();
}

CHintSession::Step CHintSession::Key(wchar_t key) {
  Step step;
  m_typed.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(key))));
  for (size_t i = 0; i < m_labels.size(); ++i) {
    if (m_labels[i].compare(0, m_typed.size(), m_typed) != 0) continue;
    if (m_labels[i].size() == m_typed.size()) {
      step.kind = Step::Kind::Follow;
      step.index = i;
      return step;
    }
    ++step.remaining;
  }
  step.kind = step.remaining > 0 ? Step::Kind::Narrowed : Step::Kind::Leave;
  return step;
}

namespace {

using Json = nlohmann::json;

// The script's answer as an object; an empty object for anything else.
Json Answer(const std::string& json) {
  Json value = Json::parse(json, nullptr, false);
  return value.is_object() ? value : Json::object();
}

bool Flag(const Json& answer, const char* name) {
  auto it = answer.find(name);
  return it != answer.end() && it->is_boolean() && it->get<bool>();
}

}  // namespace

void CHintDriver::Show(IPageActions& page, bool newTab, const std::wstring& key) {
  const unsigned round = ++m_round;
  m_state = State::Collecting;
  m_newTab = newTab;
  m_early.clear();
  m_session.Start({});
  page.RunEngineScript(HintCollectScript(key), [this, &page, round](const std::string& error, const std::string& json) {
    if (round != m_round) return;
    if (!error.empty()) {
      webpage::LogWarning(page.Name() + ": the hints could not be shown: " + error);
      m_state = State::Idle;
      return Tell(page, 0);
    }
    Collected(page, json);
  });
}

void CHintDriver::Collected(IPageActions& page, const std::string& json) {
  const Json answer = Answer(json);
  if (Flag(answer, "editing")) {
    m_state = State::Idle;
    return Tell(page, 0, true);
  }
  auto count = answer.find("count");
  size_t found = 0;
  if (count != answer.end() && count->is_number_unsigned()) found = count->get<size_t>();
  if (found > kHintLimit) {
    webpage::LogWarning(page.Name() + ": the hint script answered " + std::to_string(found) + " elements");
    found = 0;
  }
  if (found == 0) {
    m_state = State::Idle;
    return Tell(page, 0);
  }
  m_session.Start(HintLabels(found));
  // The labels drawn and the keys typed meanwhile run in this order in the page.
  page.RunEngineScript(HintDrawScript(m_session.Labels()), [](const std::string&, const std::string&) {});
  m_state = State::Shown;
  Tell(page, found);
  while (m_state == State::Shown && !m_early.empty()) {
    const wchar_t next = m_early.front();
    m_early.pop_front();
    Apply(page, next);
  }
  m_early.clear();
}

void CHintDriver::Key(IPageActions& page, wchar_t key) {
  switch (m_state) {
    case State::Idle: return Tell(page, 0);  // the host thinks hints are shown: they are not
    case State::Collecting:
      if (m_early.size() < 16) m_early.push_back(key);
      return;
    case State::Shown: return Apply(page, key);
  }
}

void CHintDriver::Apply(IPageActions& page, wchar_t key) {
  const CHintSession::Step step = m_session.Key(key);
  switch (step.kind) {
    case CHintSession::Step::Kind::Follow: return Follow(page, step.index);
    case CHintSession::Step::Kind::Leave: return Leave(page);
    case CHintSession::Step::Kind::Narrowed: {
      const unsigned round = m_round;
      page.RunEngineScript(HintFilterScript(m_session.Typed()), [this, &page, round](const std::string&, const std::string& json) {
        // The document went (a navigation): so did its labels.
        if (round == m_round && m_state == State::Shown && Flag(Answer(json), "gone")) Leave(page);
      });
      return Tell(page, step.remaining);
    }
  }
}

void CHintDriver::Follow(IPageActions& page, size_t index) {
  ++m_round;
  m_state = State::Idle;
  const bool newTab = m_newTab;
  page.RunEngineScript(HintFollowScript(index, newTab), [&page, newTab](const std::string& error, const std::string& json) {
    if (!error.empty()) return webpage::LogWarning(page.Name() + ": the hint could not be followed: " + error);
    const Json answer = Answer(json);
    auto url = answer.find("url");
    if (newTab && url != answer.end() && url->is_string() && !url->get<std::string>().empty())
      page.OpenWindow(platform::Utf8ToWide(url->get<std::string>()), true);
  });
  Tell(page, 0);
}

void CHintDriver::Leave(IPageActions& page) {
  const bool shown = m_state != State::Idle;
  ++m_round;
  m_state = State::Idle;
  m_early.clear();
  page.RunEngineScript(HintLeaveScript(), [](const std::string&, const std::string&) {});
  if (shown) Tell(page, 0);
}

void CHintDriver::Tell(IPageActions& page, size_t count, bool editing) {
  webpage::KeyValues values{{L"COUNT", webpage::Hex(static_cast<uint64_t>(count))}, {L"TYPED", m_session.Typed()}};
  if (editing) values[L"EDITING"] = L"TRUE";
  page.Emit(L"HINTS", values);
}

}  // namespace pagecore
