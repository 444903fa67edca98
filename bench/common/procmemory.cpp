#include "bench/common/procmemory.h"

#include <dirent.h>

#include <algorithm>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace bench {

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The value in kB after `label` at the start of a line; -1 when there is none.
long FieldKib(const std::string& text, const std::string& label) {
  size_t at = 0;
  while ((at = text.find(label, at)) != std::string::npos) {
    if (at == 0 || text[at - 1] == '\n') {
      char* end = nullptr;
      const long value = std::strtol(text.c_str() + at + label.size(), &end, 10);
      if (end != text.c_str() + at + label.size()) return value;
    }
    at += label.size();
  }
  return -1;
}

// Parent pid from /proc/PID/stat: the field after the command's closing parenthesis and
// the state (the command itself may hold spaces and parentheses).
pid_t ParentOf(const std::string& stat) {
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(stat.substr(close + 1));
  std::string state;
  long parent = -1;
  rest >> state >> parent;
  return rest ? static_cast<pid_t>(parent) : -1;
}

}  // namespace

std::vector<pid_t> Descendants(const std::map<pid_t, pid_t>& parents, pid_t root) {
  std::vector<pid_t> found;
  std::vector<pid_t> open{root};
  while (!open.empty()) {
    const pid_t parent = open.back();
    open.pop_back();
    for (const auto& [pid, itsParent] : parents) {
      if (itsParent != parent || pid == root) continue;
      bool seen = false;
      for (pid_t known : found) seen = seen || known == pid;
      if (seen) continue;  // a parent map with a cycle is not a tree: each pid once
      found.push_back(pid);
      open.push_back(pid);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

long MemoryKibFromText(const std::string& text) {
  const long pss = FieldKib(text, "Pss:");
  return pss >= 0 ? pss : FieldKib(text, "VmRSS:");
}

std::vector<ProcessMemory> DescendantMemory(pid_t root) {
  std::map<pid_t, pid_t> parents;
  if (DIR* proc = ::opendir("/proc")) {
    while (dirent* entry = ::readdir(proc)) {
      char* end = nullptr;
      const long pid = std::strtol(entry->d_name, &end, 10);
      if (end == entry->d_name || *end != '\0') continue;
      const pid_t parent = ParentOf(ReadAll("/proc/" + std::string(entry->d_name) + "/stat"));
      if (parent >= 0) parents[static_cast<pid_t>(pid)] = parent;
    }
    ::closedir(proc);
  }
  std::vector<ProcessMemory> processes;
  for (pid_t pid : Descendants(parents, root)) {
    const std::string base = "/proc/" + std::to_string(pid);
    long kib = MemoryKibFromText(ReadAll(base + "/smaps_rollup"));
    if (kib < 0) kib = MemoryKibFromText(ReadAll(base + "/status"));
    if (kib < 0) continue;  // gone meanwhile
    std::string command = ReadAll(base + "/cmdline");
    for (char& c : command) {
      if (c == '\0') c = ' ';
    }
    processes.push_back(ProcessMemory{pid, kib, command});
  }
  return processes;
}

double TotalMib(const std::vector<ProcessMemory>& processes) {
  long kib = 0;
  for (const ProcessMemory& process : processes) kib += process.kib;
  return kib / 1024.0;
}

}  // namespace bench
