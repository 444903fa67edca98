// Typing-to-screen latency of the address entry: from a key press handed to GTK to the
// end of the frame that shows the new text. The browser's entry (with the 2,000
// completions a long-used profile gives it, matched as the user types) against a plain
// GtkEntry in the same kind of window; the ratio is printed beside that baseline. Both
// wait for the frame clock, so a key costs about one frame whatever the entry does until
// its own work passes a frame; the CPU time column shows that work. Needs a
// display: without DISPLAY the program runs itself again under xvfb-run.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/bench_wait.h"
#include "bench/common/ratio_reporter.h"
#include "browser/entry.h"

namespace {

using Clock = std::chrono::steady_clock;

// A shown window holding one entry with the keyboard focus, and the typing loop.
class CTypingWindow {
 public:
  explicit CTypingWindow(GtkWidget* entry) : m_entry(entry) {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(m_window), 800, 60);
    gtk_container_add(GTK_CONTAINER(m_window), entry);
    gtk_widget_show_all(m_window);
    gtk_widget_grab_focus(entry);
    g_signal_connect(entry, "changed", G_CALLBACK(+[](GtkEditable*, gpointer self) {
                       static_cast<CTypingWindow*>(self)->m_changed = true;
                     }),
                     this);
    while (!gtk_widget_get_mapped(m_window)) g_main_context_iteration(nullptr, TRUE);
    GdkFrameClock* clock = gtk_widget_get_frame_clock(m_window);
    m_paintHandler = g_signal_connect(clock, "after-paint", G_CALLBACK(+[](GdkFrameClock*, gpointer self) {
                                        auto* w = static_cast<CTypingWindow*>(self);
                                        if (w->m_changed) w->m_painted = true;
                                      }),
                                      this);
  }
  ~CTypingWindow() {
    g_signal_handler_disconnect(gtk_widget_get_frame_clock(m_window), m_paintHandler);
    gtk_widget_destroy(m_window);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }

  // Presses and releases the key for `keyval`; returns false when no frame came in 5 s.
  bool Type(guint keyval) {
    m_changed = m_painted = false;
    Send(GDK_KEY_PRESS, keyval);
    Send(GDK_KEY_RELEASE, keyval);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!m_painted) {
      if (Clock::now() > deadline) return false;
      g_main_context_iteration(nullptr, TRUE);
    }
    return true;
  }
  void Clear() {
    gtk_entry_set_text(GTK_ENTRY(m_entry), "");
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }

 private:
  void Send(GdkEventType type, guint keyval) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(m_window)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keyval, &keys,
                                          &count) &&
        count > 0)
      event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    g_free(keys);
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gdk_event_put(event);
    gdk_event_free(event);
  }

  GtkWidget* m_window;
  GtkWidget* m_entry;
  gulong m_paintHandler = 0;
  bool m_changed = false;
  bool m_painted = false;
};

// Types "example" again and again (the text is cleared between words, off the clock).
void TypeInto(benchmark::State& state, CTypingWindow& window) {
  const std::string word = "example";
  size_t i = 0;
  for (auto _ : state) {
    if (!window.Type(static_cast<guint>(word[i % word.size()]))) {
      bench::FailLoudly("no frame showed the typed key within 5 s");
    }
    if (++i % word.size() == 0) {
      state.PauseTiming();
      window.Clear();
      state.ResumeTiming();
    }
  }
}

void BM_PlainGtkEntry(benchmark::State& state) {
  CTypingWindow window(gtk_entry_new());
  TypeInto(state, window);
}

void BM_AddressEntry(benchmark::State& state) {
  // Kept alive by its widget, as the chrome's widgets are.
  auto* entry = new browser::CEntry();
  std::string lines;
  for (int i = 0; i < browser::CEntry::kMaxCompletions; ++i)
    lines += "http://site" + std::to_string(i) + ".example.org/page/" + std::to_string(i * 7) + "\n";
  entry->SetCompletions(lines);
  CTypingWindow window(entry->Gtk());
  TypeInto(state, window);
}

BENCHMARK(BM_PlainGtkEntry)->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(BM_AddressEntry)->Unit(benchmark::kMicrosecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::vector<char*> args{const_cast<char*>("xvfb-run"), const_cast<char*>("-a")};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp("xvfb-run", args.data());
    std::printf("addressbar_bench: no DISPLAY and no xvfb-run; nothing measured\n");
    return 1;
  }
  gtk_init(&argc, &argv);
  RatioReporter reporter;
  if (int status = RunWithRatios(argc, argv, reporter)) return status;
  reporter.PrintRatio("address entry, key to frame / plain GtkEntry", "BM_AddressEntry", "BM_PlainGtkEntry", 1.5);
  return reporter.ExitCode();
}
