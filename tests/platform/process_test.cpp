#include <gtest/gtest.h>
#include <sys/stat.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/commandline.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/text.h"

namespace {

// A shell script that appends its arguments, one per line, to `out`.
std::string WriteRecorder(const std::string& path, const std::string& out) {
  std::ofstream script(path);
  script << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" << out << "'; done\necho end >> '" << out
         << "'\n";
  script.close();
  chmod(path.c_str(), 0755);
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Waits up to 30 s for `done`.
template <typename Condition>
bool WaitUntil(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

size_t CountEntries(const std::string& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    (void)entry;
    ++count;
  }
  return count;
}

// The children of this process that have not been reaped, over all its threads.
std::string ChildrenOfThisProcess() {
  std::string all;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    all += ReadAll(task.path().string() + "/children");
  }
  return all;
}

// True while the process exists and is no zombie.
bool Running(pid_t pid) {
  std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

}  // namespace

TEST(Process, CommandLinesSplitAsWindowsDoes) {
  using Args = std::vector<std::string>;
  const std::pair<const char*, Args> kCases[] = {
      {"a b\tc", {"a", "b", "c"}},
      {"  a   b  ", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},
      {"x\"a b\"y", {"xa by"}},
      {"\"\"", {""}},
      {"a \"\" b", {"a", "", "b"}},
      {"\\a\\b", {"\\a\\b"}},                   // backslashes before no quote stay
      {"a\\\\\"b c\"", {"a\\b c"}},            // 2n backslashes: n, and the quote quotes
      {"a\\\"b c", {"a\"b", "c"}},                // 2n+1: n and a literal quote
      {"a\\\\\\\"b", {"a\\\"b"}},            // three backslashes and a quote
      {"\"a\"\"b c\"", {"a\"b", "c"}},              // "" inside quotes: a quote, and the quotes end
      {"\"\"\"a\"", {"\"a"}},
      {"\"unclosed arg", {"unclosed arg"}},
      {"", {}},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.second, platform::SplitArguments(c.first)) << c.first;
  std::string program, rest;
  ASSERT_TRUE(platform::QuotedProgram("  \"C:\\Program Files\\x.exe\" -a \"b c\"", &program, &rest));
  EXPECT_EQ("C:\\Program Files\\x.exe", program);
  EXPECT_EQ(" -a \"b c\"", rest);
  EXPECT_FALSE(platform::QuotedProgram("x.exe \"a\"", &program, &rest));
}

TEST(Process, AQuotedProgramPathWithBlanksGetsItsQuotedArguments) {
  std::string dir = ::testing::TempDir() + "quoted program dir/";
  mkdir(dir.c_str(), 0755);
  std::string out = dir + "out.txt";
  std::remove(out.c_str());
  WriteRecorder(dir + "record me.exe", out);
  // Windows separators in the program path; an argument with a blank and one with a
  // quote in it.
  std::string windowsDir = dir;
  for (char& c : windowsDir) c = c == '/' ? '\\' : c;
  platform::ProcessHandle p = platform::CreateProcessW(
      platform::Utf8ToWide("\"" + windowsDir + "record me.exe\" \"two words\" say\\\"hi\\\" \"\""));
  ASSERT_TRUE(p);
  EXPECT_EQ(platform::WaitForProcess(p), 0);
  EXPECT_EQ(ReadAll(out), "two words\nsay\"hi\"\n\nend\n");
  // Quotes bound the program: no prefix search goes past them.
  EXPECT_FALSE(platform::CreateProcessW(platform::Utf8ToWide("\"" + dir + "record\" me.exe")));
}

TEST(Process, AWaitWithALimitEndsAProgramThatNeverEnds) {
  std::string dir = ::testing::TempDir() + "endless_" + std::to_string(getpid()) + "/";
  mkdir(dir.c_str(), 0755);
  const std::string pids = dir + "pids";
  std::remove(pids.c_str());
  {
    // It starts a program of its own, which the end of the group must reach too.
    std::ofstream script(dir + "endless.exe");
    script << "#!/bin/sh\nsleep 1000 &\necho $$ $! > '" << pids << ".part'\nmv '" << pids << ".part' '" << pids
           << "'\nwait\n";
  }
  chmod((dir + "endless.exe").c_str(), 0755);
  platform::ProcessHandle p = platform::CreateProcessW(platform::Utf8ToWide(dir + "endless.exe"));
  ASSERT_TRUE(p);
  ASSERT_TRUE(WaitUntil([&] { return !ReadAll(pids).empty(); }));
  int status = 0;
  EXPECT_EQ(platform::ProcessWait::kTimedOut, platform::WaitForProcess(p, std::chrono::milliseconds(100), &status));
  ASSERT_TRUE(p) << "a process that still runs keeps its handle";
  pid_t script = 0, sleeper = 0;
  std::istringstream(ReadAll(pids)) >> script >> sleeper;
  EXPECT_EQ(script, p.pid);
  platform::EndProcessGroup(p);
  EXPECT_FALSE(p);
  EXPECT_FALSE(Running(script));
  EXPECT_TRUE(WaitUntil([&] { return !Running(sleeper); })) << "the program it started ends with it";
  // A program that ends in time gives its status.
  {
    std::ofstream quick(dir + "quick.exe");
    quick << "#!/bin/sh\nexit 3\n";
  }
  chmod((dir + "quick.exe").c_str(), 0755);
  platform::ProcessHandle q = platform::CreateProcessW(platform::Utf8ToWide(dir + "quick.exe"));
  ASSERT_TRUE(q);
  EXPECT_EQ(platform::ProcessWait::kExited, platform::WaitForProcess(q, std::chrono::seconds(60), &status));
  EXPECT_EQ(3, status);
  EXPECT_FALSE(q);
  std::filesystem::remove_all(dir);
}

TEST(Process, CreateProcessFindsProgramAndWaits) {
  std::string dir = ::testing::TempDir() + "proc dir/";
  mkdir(dir.c_str(), 0755);
  std::string out = dir + "out.txt";
  std::remove(out.c_str());
  WriteRecorder(dir + "ImportDataToDB.exe", out);
  // The folder holds a blank, and the path is not quoted.
  platform::ProcessHandle p = platform::CreateProcessW(platform::Utf8ToWide(dir) + L"ImportDataToDB.exe ie.favor");
  ASSERT_TRUE(p);
  EXPECT_EQ(platform::WaitForProcess(p), 0);
  EXPECT_EQ(ReadAll(out), "ie.favor\nend\n");
  EXPECT_FALSE(platform::CreateProcessW(L"/nonexistent/program arg"));
}

TEST(Process, ShellExecuteStartsWithoutWaiting) {
  std::string dir = ::testing::TempDir();
  std::string out = dir + "shell_out.txt";
  std::remove(out.c_str());
  std::string program = WriteRecorder(dir + "sadb.exe", out);
  EXPECT_GT(ShellExecuteW(nullptr, L"open", platform::Utf8ToWide(program).c_str(), L"set", nullptr, SW_SHOWDEFAULT), 32);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ReadAll(out) != "set\nend\n" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(ReadAll(out), "set\nend\n");
  EXPECT_LE(ShellExecuteW(nullptr, L"open", L"/nonexistent/x.exe", L"", nullptr, SW_SHOWNORMAL), 32);
}

TEST(Process, ManyShellExecutesLeaveNoThreadAndNoChildBehind) {
  std::string dir = ::testing::TempDir() + "shell_many_" + std::to_string(getpid()) + "/";
  std::filesystem::remove_all(dir);
  mkdir(dir.c_str(), 0755);
  mkdir((dir + "out").c_str(), 0755);
  {
    std::ofstream script(dir + "touch.exe");
    script << "#!/bin/sh\necho \"$2\" > '" << dir << "out/'\"$1\"\n";
  }
  chmod((dir + "touch.exe").c_str(), 0755);
  const size_t threads = CountEntries("/proc/self/task");
  const std::wstring program = platform::Utf8ToWide(dir + "touch.exe");
  const int kCalls = 64;
  for (int i = 0; i < kCalls; ++i) {
    std::wstring parameters = L"file" + std::to_wstring(i) + L" \"text " + std::to_wstring(i) + L"\"";
    ASSERT_GT(ShellExecuteW(nullptr, L"open", program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL), 32);
  }
  EXPECT_EQ(threads, CountEntries("/proc/self/task")) << "no thread per started program";
  EXPECT_EQ("", ChildrenOfThisProcess()) << "the started programs are no children of ours";
  ASSERT_TRUE(WaitUntil([&] { return CountEntries(dir + "out") == static_cast<size_t>(kCalls); }));
  EXPECT_TRUE(WaitUntil([&] { return ReadAll(dir + "out/file63") == "text 63\n"; }));
  std::filesystem::remove_all(dir);
}

TEST(Process, ExpandsEnvironmentIgnoringCase) {
  setenv("ProgramFiles", "/opt/pf", 1);
  EXPECT_EQ(ExpandEnvironmentStringsW(L"%programfiles%\\quorla\\qxd\\qxstub.exe"), L"/opt/pf\\quorla\\qxd\\qxstub.exe");
  EXPECT_EQ(ExpandEnvironmentStringsW(L"%NO_SUCH_VAR_X%\\a%"), L"%NO_SUCH_VAR_X%\\a%");
  EXPECT_EQ(platform::ToNativePath(L"/opt/pf\\quorla\\q.exe"), "/opt/pf/quorla/q.exe");
}

TEST(Process, FolderOfCutsAfterEitherSeparator) {
  EXPECT_EQ(platform::FolderOf(L"C:\\a\\b.exe"), L"C:\\a\\");
  EXPECT_EQ(platform::FolderOf(L"/usr/bin/x"), L"/usr/bin/");
  EXPECT_EQ(platform::FolderOf(L"x.exe"), L"");
  EXPECT_FALSE(platform::ExecutableFolder().empty());
}
