#pragma once
// The memory of the processes a program started (a page engine's browser, renderer and
// web processes), read from /proc: for a soak benchmark that watches it grow or not.
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

struct ProcessMemory {
  pid_t pid = 0;
  long kib = 0;         // proportional set size (shared pages split among their users), else resident
  std::string command;  // the command line, arguments separated by spaces
};

// The pids under `root` (children, their children...) in a parent map (pid -> parent pid),
// in ascending order; `root` itself is not one of them.
std::vector<pid_t> Descendants(const std::map<pid_t, pid_t>& parents, pid_t root);

// The memory figure of a /proc/PID/smaps_rollup text ("Pss:" in kB), or of a
// /proc/PID/status text ("VmRSS:") when there is no Pss line; -1 when neither is there.
long MemoryKibFromText(const std::string& text);

// Every process now running below `root`, with its memory (processes that end while
// they are read are left out).
std::vector<ProcessMemory> DescendantMemory(pid_t root);

// Their sum in MiB.
double TotalMib(const std::vector<ProcessMemory>& processes);

}  // namespace bench
