#pragma once
// User scripts and user styles: the *.js files of a scripts folder and the *.css files of
// a styles folder, each with the pages it applies to, read again whenever a file or a
// folder changed (by modification time and size, so that asking costs one directory scan).
//
// A script's header is its leading "//" comment lines: "// @match PATTERN" (several allowed;
// none: the script applies to no page) and "// @run-at document-start|document-end"
// (default document-end). A style names its pages on lines "/* @match PATTERN */"; none:
// every page. Patterns are those of urlpattern.h; one that does not parse is left out with
// a log line. Files over 1 MiB or holding a NUL byte are skipped with a log line.
//
// Any thread: the content is immutable and shared; only the stamp and the current content
// are guarded, and files are read without the lock.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/pagecore/urlpattern.h"
#include "platform/mutex.h"

namespace pagecore {

struct UserScript {
  std::string name;  // the file's name, for log lines
  std::vector<CUrlPattern> matches;
  bool atStart = false;  // document-start; otherwise once the document is parsed
  std::string source;
};

struct UserStyle {
  std::string name;
  std::vector<CUrlPattern> matches;
  bool everyPage = true;  // no @match line (one that did not parse still counts)
  std::string source;
};

struct UserContent {
  std::vector<UserScript> scripts;
  std::vector<UserStyle> styles;
  bool empty() const { return scripts.empty() && styles.empty(); }
};

// The largest file read; larger ones are skipped.
constexpr uintmax_t kUserFileLimit = 1024 * 1024;

// Reads one script or style file's text (for tests and the loader).
UserScript ReadUserScript(const std::string& name, const std::string& text);
UserStyle ReadUserStyle(const std::string& name, const std::string& text);

class CUserContentFolders {
 public:
  CUserContentFolders(std::string scriptsFolder, std::string stylesFolder);

  // The content as the folders hold it now: the same object as last time when nothing
  // changed (engines compare it to decide whether to install again). Missing folders hold
  // nothing.
  std::shared_ptr<const UserContent> Current();

 private:
  std::string Stamp() const;
  std::shared_ptr<const UserContent> Load() const;

  const std::string m_scriptsFolder, m_stylesFolder;
  platform::CMutex m_mutex;
  std::string m_stamp GUARDED_BY(m_mutex);
  std::shared_ptr<const UserContent> m_content GUARDED_BY(m_mutex);
};

// The script a page runs, in its own (main) world, for a user script or a style: it does
// nothing in frames, on the trusted origins or on addresses none of the patterns match;
// runs the script when its header says (a style is adopted at document start), catches
// what the script throws and hands "<file>: <error>" to the JavaScript function
// `reportFunction` (an expression), which the engine turns into a page log line.
std::string PageScriptFor(const UserScript& script, const std::vector<std::string>& trustedOrigins,
                          const std::string& reportFunction);
std::string PageScriptFor(const UserStyle& style, const std::vector<std::string>& trustedOrigins);

}  // namespace pagecore
