// A small demonstration of the tab manager: it starts the two workers, posts tasks on
// both queues, shows that each queue runs its tasks in posting order, and quits.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "uicontrol/tabmanager.h"
#include "uicontrol/version.h"

namespace {

std::mutex g_printMutex;

class CTaskPrint : public ITabTask {
 public:
  CTaskPrint(const char* queue, int n) : m_queue(queue), m_n(n) {}
  bool Execute() override {
    std::lock_guard<std::mutex> guard(g_printMutex);
    std::printf("%s queue: task %d\n", m_queue, m_n);
    return true;
  }

 private:
  const char* m_queue;
  int m_n;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("uicontrol-demo %s\n", UICONTROL_VERSION);
    return 0;
  }
  CTabManager& tm = CTabManager::Instance();
  // Tasks posted before Start wait in their queue.
  for (int i = 1; i <= 3; ++i) {
    CTabManager::UITaskQueue()->PostTask(std::make_shared<CTaskPrint>("UI", i));
    CTabManager::IOTaskQueue()->PostTask(std::make_shared<CTaskPrint>("IO", i));
  }
  if (!tm.Start()) {
    std::fprintf(stderr, "the worker threads could not be started\n");
    return 1;
  }
  for (int i = 4; i <= 5; ++i) {
    CTabManager::UITaskQueue()->PostTask(std::make_shared<CTaskPrint>("UI", i));
    CTabManager::IOTaskQueue()->PostTask(std::make_shared<CTaskPrint>("IO", i));
  }
  // Quit posts its quit tasks behind everything posted so far, so all of it runs first.
  tm.Quit();
  std::printf("both workers have ended; tabs open: %d\n", tm.GetTabsCount());
  return 0;
}
