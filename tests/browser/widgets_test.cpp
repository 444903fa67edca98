// The chrome's widget classes on a real display: key names, the tab strip's bookkeeping
// and drop places, completions, signals reaching the sink, destroyed widgets refusing.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "browser/basicwidgets.h"
#include "browser/entry.h"
#include "browser/menudialog.h"
#include "browser/tabstrip.h"
#include "gtk/gtktestenv.h"

namespace browser {
namespace {

struct Heard {
  unsigned int id;
  std::string signal, arg;
};

// Collects the signals of all widgets while it lives (on the GTK thread, as the host
// does). "layout" comes from idle callbacks whenever GTK lays a strip out, so it is left out.
class WidgetTest : public testing::Test {
 protected:
  void SetUp() override {
    OnGtk([this] {
      CWidget::SetSignalSink([this](unsigned int id, const std::string& signal, const std::string& arg) {
        if (signal != "layout") heard.push_back({id, signal, arg});
        return signal == "key";
      });
    });
  }
  void TearDown() override {
    OnGtk([] { CWidget::SetSignalSink(nullptr); });
  }
  void OnGtk(std::function<void()> fn) { ASSERT_TRUE(gtktest::RunOnGtk(std::move(fn))); }
  std::vector<Heard> heard;
};

TEST_F(WidgetTest, KeyNamesAsTheShortcutTableWritesThem) {
  OnGtk([] {
    const auto ctrl = GDK_CONTROL_MASK;
    const auto shift = GDK_SHIFT_MASK;
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_t, ctrl), "ctrl+t");
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_T, GdkModifierType(ctrl | shift)), "ctrl+shift+t");
    // "+" is shift and "=" on most layouts; the shift that makes it is not named.
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_plus, GdkModifierType(ctrl | shift)), "ctrl+plus");
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_KP_Add, ctrl), "ctrl+plus");
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_KP_0, ctrl), "ctrl+0");
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_ISO_Left_Tab, GdkModifierType(ctrl | shift)), "ctrl+shift+Tab");
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_Tab, ctrl), "ctrl+Tab");
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_Left, GDK_MOD1_MASK), "alt+Left");
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_F5, GdkModifierType(0)), "F5");
    EXPECT_EQ(CWindow::KeyName(GDK_KEY_Escape, GdkModifierType(0)), "Escape");
  });
}

TEST_F(WidgetTest, TabStripKeepsOrderSelectionAndRefusesUnknownTabs) {
  OnGtk([] {
    CTabStrip strip;
    EXPECT_TRUE(strip.AddTab(5, -1));
    EXPECT_TRUE(strip.AddTab(6, -1));
    EXPECT_TRUE(strip.AddTab(7, 0));
    EXPECT_FALSE(strip.AddTab(6, -1)) << "an id is there once";
    EXPECT_FALSE(strip.AddTab(0, -1)) << "0 names no tab";
    EXPECT_EQ(strip.Order(), "7 5 6");
    EXPECT_TRUE(strip.Move(7, 99));
    EXPECT_EQ(strip.Order(), "5 6 7") << "a move past the end goes last";
    EXPECT_TRUE(strip.Move(6, -3));
    EXPECT_EQ(strip.Order(), "6 5 7");
    EXPECT_TRUE(strip.Select(5));
    EXPECT_FALSE(strip.Select(8));
    EXPECT_EQ(strip.Selected(), 5u);
    EXPECT_TRUE(strip.SetTitle(5, "Five"));
    EXPECT_EQ(strip.TitleOf(5), "Five");
    EXPECT_FALSE(strip.SetTitle(8, "none"));
    EXPECT_TRUE(strip.SetAudio(6, true));
    EXPECT_TRUE(strip.AudioOf(6));
    EXPECT_FALSE(strip.AudioOf(5));
    EXPECT_TRUE(strip.SetIcon(5, "/no/such/icon.png")) << "an unreadable icon shows the default one";
    EXPECT_THROW(strip.SetProgress(5, 101), std::invalid_argument);
    EXPECT_TRUE(strip.RemoveTab(5));
    EXPECT_EQ(strip.Selected(), 0u) << "the selected tab is gone";
    EXPECT_FALSE(strip.RemoveTab(5));
    EXPECT_EQ(strip.Order(), "6 7");
    EXPECT_EQ(strip.IndexOf(7), 1);
    EXPECT_EQ(strip.IndexOf(5), -1);
  });
}

TEST(TabStripDrop, ATabGoesBeforeTheFirstTabWhoseMiddleItDidNotPass) {
  // The other tabs at 0-100, 100-200, 200-300.
  const std::vector<std::pair<int, int>> tabs = {{0, 100}, {100, 100}, {200, 100}};
  EXPECT_EQ(CTabStrip::DropIndex(tabs, -20), 0);
  EXPECT_EQ(CTabStrip::DropIndex(tabs, 49), 0);
  EXPECT_EQ(CTabStrip::DropIndex(tabs, 50), 1);
  EXPECT_EQ(CTabStrip::DropIndex(tabs, 180), 2);
  EXPECT_EQ(CTabStrip::DropIndex(tabs, 1000), 3);
  EXPECT_EQ(CTabStrip::DropIndex({}, 10), 0);
}

// Tabs share the strip's width between the minimum and maximum width.
struct WidthCase {
  int available, count, width;
};
void PrintTo(const WidthCase& c, std::ostream* out) { *out << c.count << " tabs in " << c.available; }
class TabStripWidth : public testing::TestWithParam<WidthCase> {};
TEST_P(TabStripWidth, IsAnEqualShareWithinTheLimits) {
  const WidthCase c = GetParam();
  EXPECT_EQ(CTabStrip::TabWidth(c.available, c.count, CTabStrip::kSpacing), c.width);
}
INSTANTIATE_TEST_SUITE_P(Shares, TabStripWidth,
                         testing::Values(WidthCase{1000, 0, CTabStrip::kMaxTabWidth},
                                         WidthCase{1000, 2, CTabStrip::kMaxTabWidth},
                                         WidthCase{1000, 5, 198},  // (1000 - 4 gaps of 2) / 5
                                         WidthCase{1000, 20, CTabStrip::kMinTabWidth},
                                         WidthCase{0, 3, CTabStrip::kMinTabWidth},
                                         WidthCase{-50, 1, CTabStrip::kMinTabWidth}));

// The scroll offset that brings a tab into a view of 300 pixels: the least movement, the
// tab's left edge when it cannot fit.
struct RevealCase {
  int offset, left, width, expected;
};
void PrintTo(const RevealCase& c, std::ostream* out) { *out << "tab at " << c.left << " from " << c.offset; }
class TabStripReveal : public testing::TestWithParam<RevealCase> {};
TEST_P(TabStripReveal, MovesAsLittleAsPossible) {
  const RevealCase c = GetParam();
  EXPECT_EQ(CTabStrip::Reveal(c.offset, 300, c.left, c.width), c.expected);
}
INSTANTIATE_TEST_SUITE_P(Places, TabStripReveal,
                         testing::Values(RevealCase{100, 150, 100, 100},   // in view: stays
                                         RevealCase{100, 40, 100, 40},     // left of the view
                                         RevealCase{100, 350, 100, 150},   // right of it: its right edge at the view's
                                         RevealCase{0, 200, 100, 0},       // just fits
                                         RevealCase{0, 500, 400, 500}));   // wider than the view

// A strip in a narrow window: twenty tabs neither widen the window nor leave the
// selected tab out of view; the arrows' scrolling stops at the strip's ends.
TEST_F(WidgetTest, ManyTabsScrollInsteadOfWideningTheWindow) {
  OnGtk([] {
    auto* strip = CWidget::Keep(std::make_unique<CTabStrip>());
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 600, 40);
    gtk_container_add(GTK_CONTAINER(window), strip->Gtk());
    gtk_widget_show_all(window);
    auto settle = [] {
      for (int i = 0; i < 200 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
      g_usleep(20000);
      while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    };
    for (unsigned int id = 1; id <= 20; ++id) {
      strip->AddTab(id, -1);
      strip->SetTitle(id, "A title far longer than any tab is wide, again and again");
    }
    strip->Select(20);
    // Laid out and scrolled within a generous deadline (a busy machine is slow).
    GtkAllocation last{};
    for (int i = 0; i < 250; ++i) {
      settle();
      gtk_widget_get_allocation(strip->TabWidget(20), &last);
      if (last.width == CTabStrip::kMinTabWidth && strip->ScrollOffset() > 0) break;
    }
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(window), &width, &height);
    EXPECT_LE(width, 600) << "the tabs widened the window";
    EXPECT_EQ(last.width, CTabStrip::kMinTabWidth);
    EXPECT_GT(strip->ScrollOffset(), 0) << "the last tab is scrolled into view";
    EXPECT_GE(last.x - strip->ScrollOffset(), 0);
    strip->ScrollBy(-100000);
    EXPECT_EQ(strip->ScrollOffset(), 0);
    strip->ScrollBy(100000);
    // The tab's row sits in the scrolled view: the last tab's right edge at the view's.
    GtkWidget* view = gtk_widget_get_parent(gtk_widget_get_parent(strip->TabWidget(20)));
    EXPECT_EQ(strip->ScrollOffset(), last.x + last.width - gtk_widget_get_allocated_width(view));
    gtk_widget_destroy(window);
  });
}

TEST_F(WidgetTest, TabStripClicksSelectAndMiddleClicksClose) {
  unsigned int stripId = 0;
  OnGtk([&] {
    auto* strip = CWidget::Keep(std::make_unique<CTabStrip>());
    stripId = strip->Id();
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_container_add(GTK_CONTAINER(window), strip->Gtk());
    strip->AddTab(3, -1);
    gtk_widget_show_all(window);
    GtkWidget* tab = strip->TabWidget(3);
    for (guint button : {1u, 2u}) {
      GdkEvent* press = gdk_event_new(GDK_BUTTON_PRESS);
      press->button.button = button;
      press->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(tab)));
      gboolean handled = FALSE;
      g_signal_emit_by_name(tab, "button-press-event", press, &handled);
      EXPECT_TRUE(handled);
      gdk_event_free(press);
    }
    gtk_widget_destroy(window);
  });
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0].id, stripId);
  EXPECT_EQ(heard[0].signal, "select");
  EXPECT_EQ(heard[0].arg, "3");
  EXPECT_EQ(heard[1].signal, "close");
  EXPECT_EQ(heard[1].arg, "3");
}

TEST_F(WidgetTest, CompletionsMatchAnywhereIgnoringCaseAndSkipBadLines) {
  OnGtk([] {
    CEntry entry;
    entry.SetCompletions("http://example.org/News\nhttp://127.0.0.1/notes.html\n\nbad \xff line\nhttps://news.example/");
    EXPECT_EQ(entry.CompletionCount(), 3) << "the empty line and the invalid UTF-8 are left out";
    EXPECT_EQ(entry.Matches("NEWS", 10), "http://example.org/News\nhttps://news.example/\n");
    EXPECT_EQ(entry.Matches("news", 1), "http://example.org/News\n");
    EXPECT_EQ(entry.Matches("nothing", 10), "");
    std::string many;
    for (int i = 0; i < CEntry::kMaxCompletions + 50; ++i) many += "http://site/" + std::to_string(i) + "\n";
    entry.SetCompletions(many);
    EXPECT_EQ(entry.CompletionCount(), CEntry::kMaxCompletions);
  });
}

TEST_F(WidgetTest, TypingSignalsChangesAndTheScriptsOwnTextDoesNot) {
  unsigned int id = 0;
  OnGtk([&] {
    auto* entry = CWidget::Keep(std::make_unique<CEntry>());
    id = entry->Id();
    entry->SetText("set by the script");
    int position = 0;
    gtk_editable_insert_text(GTK_EDITABLE(entry->Gtk()), "x", 1, &position);
    g_signal_emit_by_name(entry->Gtk(), "activate");
  });
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0].id, id);
  EXPECT_EQ(heard[0].signal, "changed");
  EXPECT_EQ(heard[0].arg, "xset by the script");
  EXPECT_EQ(heard[1].signal, "activate");
  EXPECT_EQ(heard[1].arg, "xset by the script");
}

TEST_F(WidgetTest, ButtonsMenusAndDialogsNameWhatWasChosen) {
  OnGtk([] {
    auto* button = CWidget::Keep(std::make_unique<CButton>("Go"));
    button->Click();
    auto* menu = CWidget::Keep(std::make_unique<CMenu>());
    menu->Add("First", "first");
    menu->AddSeparator();
    menu->Add("Second", "second");
    EXPECT_EQ(menu->Count(), 3);
    EXPECT_TRUE(menu->Activate("second"));
    // Items show their shortcut; a name that is no key is refused.
    menu->AddWithKey("Reopen", "reopen", "ctrl+shift+t");
    menu->AddWithKey("Reload", "reload", "F5");
    EXPECT_NE(menu->KeyOf("reopen").find("Ctrl"), std::string::npos) << menu->KeyOf("reopen");
    EXPECT_NE(menu->KeyOf("reopen").find("Shift"), std::string::npos) << menu->KeyOf("reopen");
    EXPECT_EQ(menu->KeyOf("reload"), "F5");
    EXPECT_EQ(menu->KeyOf("second"), "");
    for (const char* bad : {"", "ctrl+", "hyper+t", "ctrl+NoSuchKey"})
      EXPECT_THROW(menu->AddWithKey("Bad", "bad", bad), std::invalid_argument) << bad;
    EXPECT_FALSE(menu->Activate("third"));
    menu->Clear();
    EXPECT_EQ(menu->Count(), 0);
    auto* dialog = CWidget::Keep(std::make_unique<CDialog>("Question", nullptr));
    dialog->AddButton("Yes", "yes", true);
    dialog->AddButton("No", "no", false);
    // New content replaces the old and leaves the button row in place.
    dialog->SetContent(CWidget::Keep(std::make_unique<CLabel>("first")));
    dialog->SetContent(CWidget::Keep(std::make_unique<CLabel>("second")));
    GList* children = gtk_container_get_children(
        GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog->Gtk()))));
    EXPECT_EQ(g_list_length(children), 2u) << "the content and the button row";
    g_list_free(children);
    GtkWidget* no = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog->Gtk()), 1);
    ASSERT_NE(no, nullptr);
    EXPECT_EQ(gtk_widget_get_toplevel(no), dialog->Gtk());
    EXPECT_TRUE(dialog->Respond("no"));
    EXPECT_FALSE(dialog->Respond("maybe"));
  });
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[0].signal, "clicked");
  EXPECT_EQ(heard[1].signal, "activate");
  EXPECT_EQ(heard[1].arg, "second");
  EXPECT_EQ(heard[2].signal, "response");
  EXPECT_EQ(heard[2].arg, "no");
}

TEST_F(WidgetTest, ADestroyedWidgetRefusesEveryCall) {
  OnGtk([] {
    auto* label = CWidget::Keep(std::make_unique<CLabel>("text"));
    EXPECT_EQ(CWidget::Find(label->Id()), label);
    label->Destroy();
    EXPECT_FALSE(label->Alive());
    EXPECT_THROW(label->SetText("again"), std::logic_error);
    EXPECT_THROW(label->Show(), std::logic_error);
    label->Destroy();  // twice does nothing
    auto* box = CWidget::Keep(std::make_unique<CBox>(true, 0));
    auto* inside = CWidget::Keep(std::make_unique<CButton>("in"));
    box->Add(inside, false);
    EXPECT_THROW(box->Add(inside, false), std::invalid_argument);
    box->Destroy();
    EXPECT_FALSE(inside->Alive()) << "a container takes its children along";
    EXPECT_THROW(inside->Click(), std::logic_error);
  });
}

}  // namespace
}  // namespace browser
