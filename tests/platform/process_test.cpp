#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

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

}  // namespace

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
