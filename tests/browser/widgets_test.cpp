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

TEST_F(WidgetTest, TabStripClicksSelectAndMiddleClicksClose) {
  unsigned int stripId = 0;
  OnGtk([&] {
    auto* strip = CWidget::Keep(std::make_unique<CTabStrip>());
    stripId = strip->Id();
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_container_add(GTK_CONTAINER(window), strip->Gtk());
    strip->AddTab(3, -1);
    gtk_widget_show_all(window);
    GList* tabs = gtk_container_get_children(GTK_CONTAINER(strip->Gtk()));
    GtkWidget* tab = GTK_WIDGET(tabs->data);
    g_list_free(tabs);
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
