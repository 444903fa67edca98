#include "components/pagecore/savejob.h"

#include "components/webpage/pageoutcomes.h"
#include "components/webpage/savefile.h"
#include "components/webpage/weblog.h"

namespace pagecore {

std::shared_ptr<CSaveJob> CSaveJob::Start(Hooks hooks, const std::string& kind, const std::wstring& title,
                                          const std::wstring& url, std::chrono::milliseconds timeout,
                                          const std::string& lateText) {
  std::shared_ptr<CSaveJob> job(new CSaveJob(std::move(hooks), kind, webpage::FileStem(title, url)));
  std::weak_ptr<CSaveJob> weak = job;
  job->m_hooks.runLater(timeout, [weak, lateText] {
    if (auto self = weak.lock()) self->Fail(lateText);
  });
  return job;
}

CSaveJob::CSaveJob(Hooks hooks, std::string kind, std::string stem)
    : m_hooks(std::move(hooks)), m_kind(std::move(kind)), m_stem(std::move(stem)) {}

bool CSaveJob::End() {
  if (m_finished) return false;
  m_finished = true;
  return true;
}

void CSaveJob::Deliver(const std::string& bytes) {
  if (!End()) return;
  std::string error;
  const std::string path = webpage::SaveNewFile(m_hooks.folder, m_stem, m_kind, bytes, &error);
  Report(m_hooks, m_kind, path, path.empty() ? error : "");
}

void CSaveJob::DeliverFile(const std::string& file) {
  if (!End()) return;
  std::string error;
  const std::string path = webpage::MoveToNewFile(m_hooks.folder, m_stem, m_kind, file, &error);
  Report(m_hooks, m_kind, path, path.empty() ? error : "");
}

void CSaveJob::Fail(const std::string& error) {
  if (End()) Report(m_hooks, m_kind, "", error);
}

void CSaveJob::Report(const Hooks& hooks, const std::string& kind, const std::string& path, const std::string& error) {
  if (!path.empty()) {
    webpage::LogInfo(hooks.name + ": saved " + path);
    for (const auto& event : webpage::SavedEvents(path, kind)) hooks.emit(event.key, event.values);
    return;
  }
  webpage::LogWarning(hooks.name + ": saving as " + kind + " failed: " + error);
  for (const auto& event : webpage::SaveFailedEvents(kind, error)) hooks.emit(event.key, event.values);
}

}  // namespace pagecore
