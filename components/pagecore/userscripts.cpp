#include "components/pagecore/userscripts.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "components/webpage/weblog.h"

namespace pagecore {

namespace fs = std::filesystem;

namespace {

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// The value after `key` ("@match") on a header line, or false when the line is not that key.
bool HeaderValue(const std::string& line, const std::string& key, std::string* value) {
  if (line.compare(0, key.size(), key) != 0) return false;
  if (line.size() > key.size() && line[key.size()] != ' ' && line[key.size()] != '\t') return false;
  *value = Trimmed(line.substr(key.size()));
  return true;
}

void AddPattern(const std::string& name, const std::string& text, std::vector<CUrlPattern>* matches) {
  CUrlPattern pattern;
  std::string error;
  if (CUrlPattern::Parse(text, &pattern, &error)) {
    matches->push_back(std::move(pattern));
  } else {
    webpage::LogWarning("user content " + name + ": @match \"" + text + "\" left out: " + error);
  }
}

// The files of `folder` ending in `extension`, by name.
std::vector<fs::directory_entry> FilesOf(const std::string& folder, const std::string& extension) {
  std::vector<fs::directory_entry> files;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    if (path.extension() == extension && it->is_regular_file(error)) files.push_back(*it);
  }
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.path() < b.path(); });
  return files;
}

// The file's text, or false with a log line for one too large, binary or unreadable.
bool ReadText(const fs::directory_entry& file, std::string* text) {
  const std::string name = file.path().filename().string();
  std::error_code error;
  const uintmax_t size = file.file_size(error);
  if (error || size > kUserFileLimit) {
    webpage::LogWarning("user content " + name + ": skipped, " +
                        (error ? "cannot be read" : "larger than " + std::to_string(kUserFileLimit) + " bytes"));
    return false;
  }
  std::ifstream in(file.path(), std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  if (!in || text->size() > kUserFileLimit || text->find('\0') != std::string::npos) {
    webpage::LogWarning("user content " + name + ": skipped, not a text file of at most " +
                        std::to_string(kUserFileLimit) + " bytes");
    return false;
  }
  return true;
}

}  // namespace

UserScript ReadUserScript(const std::string& name, const std::string& text) {
  UserScript script;
  script.name = name;
  script.source = text;
  bool matchLine = false;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    line = Trimmed(line);
    if (line.empty()) continue;
    if (line.compare(0, 2, "//") != 0) break;  // the header ends with the first code
    line = Trimmed(line.substr(2));
    std::string value;
    if (HeaderValue(line, "@match", &value)) {
      matchLine = true;
      AddPattern(name, value, &script.matches);
    } else if (HeaderValue(line, "@run-at", &value)) {
      if (value == "document-start" || value == "document-end") {
        script.atStart = value == "document-start";
      } else {
        webpage::LogWarning("user content " + name + ": @run-at \"" + value + "\" unknown, document-end taken");
      }
    }
  }
  if (!matchLine) webpage::LogWarning("user content " + name + ": no @match line, so it applies to no page");
  return script;
}

UserStyle ReadUserStyle(const std::string& name, const std::string& text) {
  UserStyle style;
  style.name = name;
  style.source = text;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    line = Trimmed(line);
    if (line.size() < 4 || line.compare(0, 2, "/*") != 0 || line.compare(line.size() - 2, 2, "*/") != 0) continue;
    std::string value;
    if (HeaderValue(Trimmed(line.substr(2, line.size() - 4)), "@match", &value)) {
      style.everyPage = false;
      AddPattern(name, value, &style.matches);
    }
  }
  return style;
}

CUserContentFolders::CUserContentFolders(std::string scriptsFolder, std::string stylesFolder)
    : m_scriptsFolder(std::move(scriptsFolder)), m_stylesFolder(std::move(stylesFolder)) {}

std::string CUserContentFolders::Stamp() const {
  std::ostringstream stamp;
  for (const auto& [folder, extension] : {std::make_pair(m_scriptsFolder, ".js"), std::make_pair(m_stylesFolder, ".css")}) {
    stamp << folder << '\n';
    for (const fs::directory_entry& file : FilesOf(folder, extension)) {
      std::error_code error;
      const auto time = file.last_write_time(error).time_since_epoch().count();
      const uintmax_t size = file.file_size(error);
      stamp << file.path().filename().string() << '\t' << time << '\t' << size << '\n';
    }
  }
  return stamp.str();
}

std::shared_ptr<const UserContent> CUserContentFolders::Load() const {
  auto content = std::make_shared<UserContent>();
  std::string text;
  for (const fs::directory_entry& file : FilesOf(m_scriptsFolder, ".js")) {
    if (ReadText(file, &text)) content->scripts.push_back(ReadUserScript(file.path().filename().string(), text));
  }
  for (const fs::directory_entry& file : FilesOf(m_stylesFolder, ".css")) {
    if (ReadText(file, &text)) content->styles.push_back(ReadUserStyle(file.path().filename().string(), text));
  }
  if (!content->empty()) {
    webpage::LogInfo("user content: " + std::to_string(content->scripts.size()) + " scripts, " +
                     std::to_string(content->styles.size()) + " styles");
  }
  return content;
}

std::shared_ptr<const UserContent> CUserContentFolders::Current() {
  std::string stamp = Stamp();
  {
    platform::CMutexLock lock(m_mutex);
    if (m_content && stamp == m_stamp) return m_content;
  }
  // Read without the lock; two threads that both saw a change read twice, harmlessly.
  std::shared_ptr<const UserContent> content = Load();
  platform::CMutexLock lock(m_mutex);
  m_stamp = std::move(stamp);
  m_content = content;
  return content;
}

}  // namespace pagecore
