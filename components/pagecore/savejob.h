#pragma once
// One save of a page (HTML, image, PDF), the same for every engine: named after the page
// as it was when the save began, ended by its data, its failure or its time limit,
// whichever comes first, and told to the host with exactly one "SAVECOMPLETE". All of it
// runs on the engine's page thread.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "components/webpage/keyvaluetext.h"

namespace pagecore {

class CSaveJob : public std::enable_shared_from_this<CSaveJob> {
 public:
  struct Hooks {
    std::function<void(const wchar_t* key, const webpage::KeyValues& values)> emit;
    // Runs a task on the page's thread after a delay, unless the page is gone by then.
    std::function<void(std::chrono::milliseconds, std::function<void()>)> runLater;
    std::string folder;  // where the file goes
    std::string name;    // the page's name in log lines
  };

  // Begins a save of `kind` ("html", "png", "pdf": also the file's extension) of the page
  // with this title and address. After `timeout` it fails with `lateText`.
  static std::shared_ptr<CSaveJob> Start(Hooks hooks, const std::string& kind, const std::wstring& title,
                                         const std::wstring& url, std::chrono::milliseconds timeout,
                                         const std::string& lateText);

  // The data came: written to a new file in the folder. Ignored once the save ended.
  void Deliver(const std::string& bytes);
  // The engine wrote the file itself (a print): moved into the folder under the page's name.
  void DeliverFile(const std::string& path);
  void Fail(const std::string& error);
  bool Finished() const { return m_finished; }

  // The events of a save that ended; for saves that do not go through a job.
  static void Report(const Hooks& hooks, const std::string& kind, const std::string& path, const std::string& error);

 private:
  CSaveJob(Hooks hooks, std::string kind, std::string stem);
  // True once: the first outcome ends the save.
  bool End();

  const Hooks m_hooks;
  const std::string m_kind;
  const std::string m_stem;
  bool m_finished = false;
};

}  // namespace pagecore
