#include "log_test_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <cctype>
#include <sstream>

#include "logging/logging.h"
#include "logging/test_support.h"
#include "platform/dialogs.h"
#include "platform/system.h"
#include "platform/text.h"

extern char** environ;

namespace logtest {

void LoggingTest::SetUp() { logging::ResetLoggingForTest(); }

void LoggingTest::TearDown() {
  logging::ResetLoggingForTest();
  // The lock objects named after this run's temporary files.
  const std::string marker = "logging-" + std::to_string(getpid()) + "-";
  if (DIR* shm = opendir("/dev/shm")) {
    while (dirent* entry = readdir(shm)) {
      std::string name = entry->d_name;
      if (name.rfind("uicontrol-log-", 0) == 0 && name.find(marker) != std::string::npos) shm_unlink(name.c_str());
    }
    closedir(shm);
  }
  platform::SetModuleFileNameForTest(L"");
  platform::SetLocalTimeSourceForTest(nullptr);
  platform::SetDebuggerOutputHandler(nullptr);
  platform::SetMessageBoxHandler(nullptr);
  platform::SetDebuggerPresentForTest(false);
  platform::SetDebugBreakHandler(nullptr);
}

std::vector<HookRecord>& RecordEntries(bool suppress) {
  static std::vector<HookRecord> records;
  records.clear();
  logging::SetMessageHook([suppress](int level, const char* file, int line, size_t start, const std::string& text) {
    records.push_back(HookRecord{level, file, line, start, text});
    return suppress;
  });
  return records;
}

StderrCapture::StderrCapture() {
  std::fflush(stderr);
  m_saved = dup(2);
  char path[] = "/tmp/logging-stderr-XXXXXX";
  m_file = mkstemp(path);
  unlink(path);
  dup2(m_file, 2);
}

StderrCapture::~StderrCapture() { Finish(); }

std::string StderrCapture::Finish() {
  if (m_saved < 0) return std::string();
  std::fflush(stderr);
  dup2(m_saved, 2);
  close(m_saved);
  m_saved = -1;
  std::string out;
  char buffer[4096];
  lseek(m_file, 0, SEEK_SET);
  ssize_t n;
  while ((n = read(m_file, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  close(m_file);
  return out;
}

FifoReader::FifoReader(const std::string& path) {
  EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
  m_fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  EXPECT_GE(m_fd, 0);
}

FifoReader::~FifoReader() {
  if (m_thread.joinable()) m_thread.join();
  if (m_fd >= 0) close(m_fd);
}

void FifoReader::Start() {
  fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
  m_thread = std::thread([this] {
    char buffer[65536];
    ssize_t n;
    while ((n = read(m_fd, buffer, sizeof buffer)) != 0) {
      if (n > 0) m_data.append(buffer, static_cast<size_t>(n));
      else if (errno != EINTR) break;
    }
  });
}

std::string FifoReader::Finish() {
  if (m_thread.joinable()) m_thread.join();
  return m_data;
}

std::string MakeTempDir(const std::string& name) {
  std::string dir = ::testing::TempDir() + "logging-" + std::to_string(getpid()) + "-" + name + "/";
  std::string command = "rm -rf '" + dir + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(mkdir(dir.c_str(), 0755), 0) << dir;
  return dir;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void WriteExecutable(const std::string& path, const std::string& script) {
  std::ofstream(path) << script;
  chmod(path.c_str(), 0755);
}

void SetExecutableFolder(const std::string& folder) {
  platform::SetModuleFileNameForTest(platform::Utf8ToWide(folder + "browser"));
}

SYSTEMTIME FixedTime(int month, int day, int hour, int minute, int second) {
  SYSTEMTIME t{};
  t.wYear = 2024;
  t.wMonth = static_cast<uint16_t>(month);
  t.wDay = static_cast<uint16_t>(day);
  t.wHour = static_cast<uint16_t>(hour);
  t.wMinute = static_cast<uint16_t>(minute);
  t.wSecond = static_cast<uint16_t>(second);
  return t;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

int StartHelper(const std::vector<std::string>& args) {
  std::vector<std::string> copies;
  copies.push_back(LOGGING_TEST_HELPER);
  copies.insert(copies.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return 0;
  return pid;
}

int WaitHelper(int pid) {
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunHelper(const std::vector<std::string>& args) {
  int pid = StartHelper(args);
  return pid > 0 ? WaitHelper(pid) : -1;
}

size_t MatchPrefix(const std::string& text, const std::string& pattern, std::vector<std::string>* captures) {
  size_t t = 0;
  for (size_t p = 0; p < pattern.size(); ++p) {
    if (pattern[p] == '%' && p + 1 < pattern.size() && (pattern[p + 1] == 'd' || pattern[p + 1] == 'w')) {
      const bool word = pattern[++p] == 'w';
      size_t start = t;
      while (t < text.size() && (std::isdigit(static_cast<unsigned char>(text[t])) ||
                                 (word && (std::isalpha(static_cast<unsigned char>(text[t])) || text[t] == '_')))) {
        ++t;
      }
      if (t == start) return std::string::npos;
      if (captures) captures->push_back(text.substr(start, t - start));
    } else if (t < text.size() && text[t] == pattern[p]) {
      ++t;
    } else {
      return std::string::npos;
    }
  }
  return t;
}

std::string CheckWholeLines(const std::string& text, size_t length, std::map<std::string, int>* counts) {
  if (!text.empty() && text.back() != '\n') return "the text does not end with a line feed";
  for (const std::string& line : SplitLines(text)) {
    std::vector<std::string> parts;
    size_t header = MatchPrefix(line, "[pid=%d tid=%d INFO %w.cpp(%d)] %w:%d:", &parts);
    if (header == std::string::npos) return "broken header: " + line.substr(0, 120);
    const std::string& tag = parts[4];
    const int seq = std::stoi(parts[5]);
    const std::string expected = PayloadLine(tag, seq, length);
    const size_t textStart = header - tag.size() - parts[5].size() - 2;
    if (line.compare(textStart, std::string::npos, expected) != 0) {
      return "broken text in the line of " + tag + ":" + std::to_string(seq) + " (" + std::to_string(line.size()) +
             " bytes)";
    }
    ++(*counts)[tag];
  }
  return std::string();
}

}  // namespace logtest
