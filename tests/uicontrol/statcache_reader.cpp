// Prints the three entries of another process's statistics block: reader <pid>.
#include <cstdio>
#include <cstdlib>

#include "uicontrol/statcache.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  CStatCacheReader reader(static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)));
  unsigned values[3] = {0, 0, 0};
  for (unsigned long type = 1; type <= 3; ++type) {
    if (!reader.Get(type, &values[type - 1])) return 1;
  }
  std::printf("%u %u %u\n", values[0], values[1], values[2]);
  return 0;
}
