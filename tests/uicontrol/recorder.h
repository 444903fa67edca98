#pragma once
// A stand-in program for the outside programs the library starts: a shell script that
// appends its arguments, one per line, then "end", to a file.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

inline void WriteRecorderScript(const std::string& path, const std::string& out) {
  std::ofstream script(path);
  script << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" << out << "'; done\necho end >> '" << out << "'\n";
  script.close();
  chmod(path.c_str(), 0755);
}

inline std::string ReadFileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Waits until the file holds `expected` (programs started without waiting), or 30 s.
inline std::string WaitForFileText(const std::string& path, const std::string& expected) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::string text = ReadFileText(path);
  while (text != expected && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    text = ReadFileText(path);
  }
  return text;
}
