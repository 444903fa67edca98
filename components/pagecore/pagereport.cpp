#include "components/pagecore/pagereport.h"

#include <algorithm>

#include "components/pagecore/tunables.h"
#include "components/webpage/pagescript.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"
#include "platform/threadcheck.h"

namespace pagecore {
namespace {

std::wstring Cut(const std::wstring& text, size_t limit) { return text.size() > limit ? text.substr(0, limit) : text; }

}  // namespace

std::wstring DefaultIcon(const std::wstring& url) {
  std::wstring lower = platform::AsciiLower(url.substr(0, 8));
  size_t start;
  if (lower.compare(0, 7, L"http://") == 0) start = 7;
  else if (lower.compare(0, 8, L"https://") == 0) start = 8;
  else return L"";
  size_t end = url.find_first_of(L"/?#", start);
  return url.substr(0, end) + L"/favicon.ico";
}

CPageReport::CPageReport(Hooks hooks)
    : m_hooks(std::move(hooks)),
      m_titleGate(kPageValueGap),
      m_iconGate(kPageValueGap),
      m_statusGate(kPageValueGap),
      m_blockedGate(kPageValueGap),
      m_logLines(CLogCoalescer::Hooks{
          [now = m_hooks.now] { return now ? now() : std::chrono::steady_clock::now(); }, m_hooks.runLater,
          [](webpage::LogLevel level, const std::string& text) { webpage::Log(level, text); }}) {}

bool CPageReport::OnThread() const { return !m_hooks.onThread || m_hooks.onThread(); }

CPageReport::Document& CPageReport::Doc() {
  UICONTROL_CHECK_THREAD(OnThread());
  return m_doc;
}

void CPageReport::Emit(const wchar_t* key, const KeyValues& values) {
  if (m_replay) {
    CHistoryReplay::Step next;
    const bool kept = m_replay->OnEvent(key, &next);
    if (next.kind != CHistoryReplay::Step::kNone && m_replayStep) {
      // After this event's report has ended, not inside it.
      auto step = m_replayStep;
      m_hooks.runLater(std::chrono::milliseconds(0), [step, next] { step(next); });
    }
    if (m_replay->Finished()) EndReplay();
    if (kept) return;
  }
  m_hooks.hub->Emit(key, webpage::WriteKeyValueText(values));
}

void CPageReport::Replay(std::shared_ptr<CHistoryReplay> replay, std::function<void(const CHistoryReplay::Step&)> step) {
  m_replay = std::move(replay);
  m_replayStep = std::move(step);
}

void CPageReport::EndReplay() {
  m_replay.reset();
  m_replayStep = nullptr;
}

void CPageReport::Begin(const std::wstring& url) {
  UICONTROL_CHECK_THREAD(OnThread());
  m_nav = Navigation();
  m_nav.active = true;
  m_nav.generation = ++m_navigations;
  m_nav.url = url;
  for (const wchar_t* key : {L"NAVIGATECOMPLETE", L"DOCUMENTCOMPLETE", L"NAVIGATEERROR", L"ICONCHANGE"})
    m_hooks.hub->Forget(key);
  Emit(L"BEFORENAVIGATE", {{L"URL", url}});
  // The host forgets title and icon on BEFORENAVIGATE: the next ones go out even when
  // they are what was last sent (a reload, a stopped load).
  m_lastTitleSent.clear();
  m_lastTitleUrl.clear();
  m_lastIconSent.clear();
  Progress(0);
  const uint64_t generation = m_nav.generation;
  m_hooks.runLater(m_hooks.loadTimeout, [this, generation] {
    if (!m_nav.active || m_nav.generation != generation) return;
    webpage::LogWarning(m_hooks.name + ": " + platform::WideToUtf8(m_nav.url) + " did not finish in time; stopped");
    Error(0, "net::ERR_TIMED_OUT", m_nav.url);
    if (m_hooks.stopLoading) m_hooks.stopLoading();
    Finish();
  });
}

void CPageReport::Commit(const std::wstring& url, const std::wstring& title) {
  UICONTROL_CHECK_THREAD(OnThread());
  if (!m_nav.active) Begin(url);
  m_nav.url = url;
  m_url = url;
  m_title = title;
  m_doc = Document();
  // Values waiting from the previous document are void; the new one's first pass at once.
  m_titleGate.Reset();
  m_iconGate.Reset();
  m_statusGate.Reset();
  m_blockedGate.Reset();
  if (m_blocked != 0) {
    m_blocked = 0;
    if (m_hooks.blockedCountChanged) m_hooks.blockedCountChanged(0);
    SendBlockedCount();
  }
  Emit(L"NAVIGATECOMPLETE", {{L"URL", url}});
  Progress(50);
}

void CPageReport::SameDocument(const std::wstring& url) {
  UICONTROL_CHECK_THREAD(OnThread());
  m_url = url;
  Emit(L"NAVIGATECOMPLETE", {{L"URL", url}});
  EmitTitle();
}

bool CPageReport::Complete() {
  UICONTROL_CHECK_THREAD(OnThread());
  if (m_url.empty()) return false;
  ReportTitleAndIcon();
  if (!m_doc.completeSent) {
    m_nav.progress = std::min(m_nav.progress, 99);
    Progress(100);
    m_doc.completeSent = true;
    Emit(L"DOCUMENTCOMPLETE", {{L"URL", m_url}});
  }
  m_nav.active = false;
  return true;
}

bool CPageReport::Finish() {
  UICONTROL_CHECK_THREAD(OnThread());
  if (!m_nav.active) return false;
  Progress(100);
  m_nav.active = false;
  ReportTitleAndIcon();
  return true;
}

void CPageReport::Progress(int percent) {
  if (percent <= m_nav.progress) return;
  m_nav.progress = percent;
  Emit(L"PROGRESSCHANGE", {{L"PERCENT", webpage::Hex(static_cast<uint32_t>(percent))}});
}

void CPageReport::Error(uint32_t status, const std::string& text, const std::wstring& url, const std::string& loadId) {
  UICONTROL_CHECK_THREAD(OnThread());
  if (!loadId.empty()) {
    if (std::find(m_reportedLoads.begin(), m_reportedLoads.end(), loadId) != m_reportedLoads.end()) return;
    m_reportedLoads.push_back(loadId);
    if (m_reportedLoads.size() > kReportedLoadsKept) m_reportedLoads.pop_front();
  }
  webpage::LogWarning(m_hooks.name + ": navigation to " + platform::WideToUtf8(url) + " failed: " + text);
  Emit(L"NAVIGATEERROR", {{L"ERROR", platform::Utf8ToWide(text)}, {L"STATUS", webpage::Hex(status)}, {L"URL", url}});
}

void CPageReport::ReportTitleAndIcon() {
  if (m_url.empty()) return;
  EmitTitle();
  if (!m_doc.icon.empty()) EmitIcon(m_doc.icon);
}

void CPageReport::SetTitle(const std::wstring& title) { m_title = Cut(title, webpage::kPageTitleLimit); }

void CPageReport::EmitTitle() {
  if (m_url.empty()) return;  // nothing committed yet: the title follows with the document
  const std::wstring title = Cut(m_title.empty() ? m_url : m_title, webpage::kPageTitleLimit);
  if (title == m_lastTitleSent && m_url == m_lastTitleUrl) return;
  m_lastTitleSent = title;
  m_lastTitleUrl = m_url;
  Emit(L"TITLECHANGE", {{L"TITLE", title}, {L"URL", m_url}});
}

void CPageReport::EmitIcon(const std::wstring& declared) {
  const std::wstring icon = declared.empty() ? DefaultIcon(m_url) : declared;
  if (icon.empty()) return;
  m_doc.icon = icon;
  if (icon == m_lastIconSent) return;
  m_lastIconSent = icon;
  Emit(L"ICONCHANGE", {{L"ICOURL", icon}});
}

void CPageReport::SendStatus() { Emit(L"STATEXTCHANGED", {{L"STATTEXT", m_pendingStatus}}); }

void CPageReport::OfferTitle(const std::wstring& title) {
  UICONTROL_CHECK_THREAD(OnThread());
  SetTitle(title);
  Offer(m_titleGate, &CPageReport::SendTitle);
}

void CPageReport::OfferIcon(const std::wstring& declared) {
  UICONTROL_CHECK_THREAD(OnThread());
  m_pendingIcon = Cut(declared, webpage::kPageTextLimit);
  Offer(m_iconGate, &CPageReport::SendIcon);
}

void CPageReport::OfferStatus(const std::wstring& text) {
  UICONTROL_CHECK_THREAD(OnThread());
  const std::wstring shown = Cut(text, webpage::kPageTextLimit);
  if (m_statusOffered && shown == m_pendingStatus) return;
  m_statusOffered = true;
  m_pendingStatus = shown;
  Offer(m_statusGate, &CPageReport::SendStatus);
}

void CPageReport::CountBlocked() {
  UICONTROL_CHECK_THREAD(OnThread());
  ++m_blocked;
  if (m_hooks.blockedCountChanged) m_hooks.blockedCountChanged(m_blocked);
  Offer(m_blockedGate, &CPageReport::SendBlockedCount);
}

void CPageReport::SendBlockedCount() {
  Emit(L"BLOCKEDCOUNT", {{L"COUNT", webpage::Hex(m_blocked)}, {L"URL", m_url}});
}

void CPageReport::Offer(webpage::CLatestValueGate& gate, void (CPageReport::*send)()) {
  std::chrono::milliseconds delay{0};
  uint64_t ticket = 0;
  const webpage::SteadyTime now = m_hooks.now ? m_hooks.now() : std::chrono::steady_clock::now();
  switch (gate.Offer(now, &delay, &ticket)) {
    case webpage::CLatestValueGate::Decision::SendNow: (this->*send)(); break;
    case webpage::CLatestValueGate::Decision::ScheduleFlush:
      m_hooks.runLater(delay, [this, &gate, send, ticket] {
        const webpage::SteadyTime then = m_hooks.now ? m_hooks.now() : std::chrono::steady_clock::now();
        if (gate.Flush(then, ticket)) (this->*send)();
      });
      break;
    case webpage::CLatestValueGate::Decision::Waiting: break;
  }
}

void CPageReport::BackForward(bool back, bool forward) {
  UICONTROL_CHECK_THREAD(OnThread());
  if (static_cast<int>(back) != m_back) {
    m_back = back;
    Emit(L"BACKFORWARDSTATECHANGE", {{L"STATE", back ? L"TRUE" : L"FALSE"}});
  }
  if (static_cast<int>(forward) != m_forward) {
    m_forward = forward;
    Emit(L"GOFORWARDSTATECHANGE", {{L"STATE", forward ? L"TRUE" : L"FALSE"}});
  }
}

}  // namespace pagecore
