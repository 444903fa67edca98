#include "gtk/gtktestenv.h"

#include <fcntl.h>
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/gtk/gtkthread.h"

namespace gtktest {
namespace {

// A private X server for this test program, unless DISPLAY names one already.
class PrivateDisplay {
 public:
  bool Start() {
    if (const char* d = std::getenv("DISPLAY"); d && *d) return true;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    m_pid = fork();
    if (m_pid == 0) {
      dup2(fds[1], 3);  // -displayfd writes the display number there
      execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
      std::fprintf(stderr, "gtktest: Xvfb did not start (is the xvfb package installed?)\n");
      return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
  }
  void Stop() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
};

struct Shared {
  PrivateDisplay display;
  std::thread gtkThread;
  GMainLoop* loop = nullptr;
  // Set when the GTK thread has left its main loop (it stays parked after that).
  std::mutex stopMutex;
  std::condition_variable stoppedCv;
  bool stopped = false;
};
Shared& Env() {
  // Never destroyed: the parked GTK thread waits on it until the process ends.
  static Shared* shared = new Shared;
  return *shared;
}

class GtkEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    setenv("GDK_BACKEND", "x11", 1);
    ASSERT_TRUE(Env().display.Start());
    std::mutex m;
    std::condition_variable cv;
    bool ready = false, ok = false;
    Env().gtkThread = std::thread([&] {
      g_main_context_acquire(g_main_context_default());
      bool inited = gtk_init_check(nullptr, nullptr);
      GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
      {
        // Notified under the lock: SetUp's condition variable ends as soon as it wakes.
        std::lock_guard<std::mutex> g(m);
        Env().loop = loop;
        ok = inited;
        ready = true;
        cv.notify_all();
      }
      if (inited) g_main_loop_run(loop);
      g_main_context_release(g_main_context_default());
      {
        std::lock_guard<std::mutex> g(Env().stopMutex);
        Env().stopped = true;
      }
      Env().stoppedCv.notify_all();
      // The thread never ends: WebKit takes its main thread for one that lives as long as
      // the process, and the end of a thread that ran it deadlocks in WebKit's clean-up
      // (its thread-exit handler waits for a thread that waits for this one).
      std::unique_lock<std::mutex> park(Env().stopMutex);
      Env().stoppedCv.wait(park, [] { return false; });
    });
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return ready; });
    ASSERT_TRUE(ok) << "GTK could not open the display";
  }
  void TearDown() override {
    if (Env().gtkThread.joinable()) {
      GMainLoop* loop = Env().loop;
      platform::gtk::PostToGtkThread([loop] { g_main_loop_quit(loop); });
      {
        std::unique_lock<std::mutex> lock(Env().stopMutex);
        Env().stoppedCv.wait(lock, [] { return Env().stopped; });
      }
      Env().gtkThread.detach();
      g_main_loop_unref(loop);
    }
    Env().display.Stop();
  }
};

}  // namespace

bool RunOnGtk(std::function<void()> fn, std::chrono::milliseconds deadline) {
  auto state = std::make_shared<std::pair<std::mutex, std::condition_variable>>();
  auto done = std::make_shared<bool>(false);
  platform::gtk::PostToGtkThread([fn = std::move(fn), state, done] {
    fn();
    std::lock_guard<std::mutex> g(state->first);
    *done = true;
    state->second.notify_all();
  });
  std::unique_lock<std::mutex> lock(state->first);
  return state->second.wait_for(lock, deadline, [&] { return *done; });
}

bool WaitOnGtk(std::function<bool()> condition, std::chrono::milliseconds deadline) {
  struct Wait {
    std::function<bool()> condition;
    std::mutex m;
    std::condition_variable cv;
    bool met = false;
    bool abandoned = false;
  };
  auto wait = std::make_shared<Wait>();
  wait->condition = std::move(condition);
  // Checked once the work queued before it has run, then on a short timer.
  platform::gtk::PostToGtkThread([wait] {
    auto check = [](gpointer data) -> gboolean {
      auto* w = static_cast<std::shared_ptr<Wait>*>(data);
      std::unique_lock<std::mutex> lock((*w)->m);
      if ((*w)->abandoned) return G_SOURCE_REMOVE;
      lock.unlock();
      if (!(*w)->condition()) return G_SOURCE_CONTINUE;
      lock.lock();
      (*w)->met = true;
      (*w)->cv.notify_all();
      return G_SOURCE_REMOVE;
    };
    auto* data = new std::shared_ptr<Wait>(wait);
    if (check(data) == G_SOURCE_REMOVE) {
      delete data;
      return;
    }
    g_timeout_add_full(G_PRIORITY_DEFAULT, 5, check, data,
                       [](gpointer p) { delete static_cast<std::shared_ptr<Wait>*>(p); });
  });
  std::unique_lock<std::mutex> lock(wait->m);
  bool met = wait->cv.wait_for(lock, deadline, [&] { return wait->met; });
  wait->abandoned = !met;
  return met;
}

}  // namespace gtktest

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new gtktest::GtkEnvironment);
  return RUN_ALL_TESTS();
}

// LeakSanitizer: GTK, GDK, fontconfig, D-Bus and JavaScriptCore keep process-wide caches
// (themes, fonts, the accessibility bus, JavaScript heaps) that they never free, and GTK's
// caches hold parts of every widget that was shown. Those allocations are theirs, not the
// tests'; a leak whose stack passes through none of these libraries is still reported.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n"
         "leak:libjavascriptcoregtk-4.1.so\n"
         "leak:libgtk-3.so\n"
         "leak:libgdk-3.so\n";
}

#if defined(__SANITIZE_ADDRESS__)
// Those libraries are built without frame pointers: the fast unwinder stops in them, and
// a stack cut short there would not show the library the suppressions name.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}
#endif

#if defined(__SANITIZE_THREAD__)
// WebKit, JavaScriptCore, GLib and the GTK stack (fonts, images, drawing) are not built
// with ThreadSanitizer, and their own synchronisation (WTF's parking lot, bmalloc, GLib's
// futex-based locks and wake-up descriptors) is invisible to it: the memory and thread functions those libraries call
// are excused, so that their internal hand-offs do not read as races. Code of this project
// stays checked, also where it calls them. This replaces the loopback server's list
// (host/loopbackhttpserver.cpp), so that list is repeated here.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
  return "called_from_lib:libcpp-httplib.so\n"
         "called_from_lib:libjavascriptcoregtk-4.1.so\n"
         "called_from_lib:libwebkit2gtk-4.1.so\n"
         "called_from_lib:libglib-2.0.so\n"
         "called_from_lib:libgio-2.0.so\n"
         "called_from_lib:libgobject-2.0.so\n"
         "called_from_lib:libgtk-3.so\n"
         "called_from_lib:libgdk-3.so\n"
         "called_from_lib:libgdk_pixbuf-2.0.so\n"
         "called_from_lib:libfontconfig.so\n"
         "called_from_lib:libpango-1.0.so\n"
         "called_from_lib:libpangoft2-1.0.so\n"
         "called_from_lib:libcairo.so\n"
         "called_from_lib:libharfbuzz.so\n"
         "called_from_lib:libpangocairo-1.0.so\n"
         "called_from_lib:libX11.so\n"
         "called_from_lib:libX11-xcb.so\n"
         "called_from_lib:libXext.so\n"
         "called_from_lib:libXi.so\n"
         "called_from_lib:libXrender.so\n"
         "called_from_lib:libXfixes.so\n"
         "called_from_lib:libXcomposite.so\n"
         "called_from_lib:libXdamage.so\n"
         "called_from_lib:libXrandr.so\n"
         "called_from_lib:libXcursor.so\n"
         "called_from_lib:libxcb.so\n"
         "called_from_lib:libGLX.so\n"
         "called_from_lib:libGLX_mesa.so\n"
         "called_from_lib:libGLdispatch.so\n"
         "called_from_lib:libEGL.so\n"
         "called_from_lib:libEGL_mesa.so\n"
         "called_from_lib:libepoxy.so\n"
         "called_from_lib:libGL.so\n"
         // A lock of the GL dispatcher taken in one of those libraries is let go at exit.
         "mutex:_dl_call_fini\n";
}
#endif
