// The window table's calls move, show and hide real GTK widgets, from any thread.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <thread>
#include <vector>

#include "gtk/gtktestenv.h"
#include "platform/gtk/gtkwindows.h"
#include "platform/window.h"

namespace gw = platform::gtk;

namespace {

// A shown top-level window holding one page area for a main window handle, and a view.
class GtkWindows : public testing::Test {
 protected:
  void SetUp() override {
    gw::InstallWindowBackend();
    m_main = platform::CreateWindowHandle();
    m_view = platform::CreateWindowHandle();
    ASSERT_TRUE(gtktest::RunOnGtk([this] {
      m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
      gtk_window_set_default_size(GTK_WINDOW(m_window), 400, 300);
      m_area = gw::CreatePageArea(m_main);
      gtk_container_add(GTK_CONTAINER(m_window), m_area);
      gtk_widget_show_all(m_window);
      m_widget = gtk_drawing_area_new();
    }));
  }
  void TearDown() override {
    gw::DetachView(m_view);
    platform::DestroyWindowHandle(m_view);
    platform::DestroyWindowHandle(m_main);
    gtktest::RunOnGtk([this] { gtk_widget_destroy(m_window); });
    platform::SetWindowBackend({});
  }

  // The view's state as the GTK thread sees it once the work queued so far has run.
  bool InArea() {
    bool in = false;
    gtktest::RunOnGtk([&] { in = gw::ViewArea(m_view) == m_main && gtk_widget_get_parent(m_widget) == m_area; });
    return in;
  }
  bool Shown() {
    bool shown = false;
    gtktest::RunOnGtk([&] { shown = gtk_widget_get_visible(m_widget); });
    return shown;
  }
  // Where the view sits in its area and its size, once GTK has laid it out.
  bool AllocationIs(int x, int y, int w, int h) {
    GtkAllocation a{};
    bool met = gtktest::WaitOnGtk(
        [&] {
          // Overlay children sit in windows of their own: the place is relative to the area.
          gtk_widget_get_allocation(m_widget, &a);
          if (!gtk_widget_translate_coordinates(m_widget, m_area, 0, 0, &a.x, &a.y)) return false;
          return a.x == x && a.y == y && a.width == w && a.height == h;
        },
        std::chrono::seconds(20));
    if (!met) ADD_FAILURE() << "allocation " << a.x << "," << a.y << " " << a.width << "x" << a.height;
    return met;
  }

  HWND m_main = nullptr, m_view = nullptr;
  GtkWidget* m_window = nullptr;
  GtkWidget* m_area = nullptr;
  GtkWidget* m_widget = nullptr;
};

}  // namespace

TEST_F(GtkWindows, ParentingShowingAndHidingActOnTheWidget) {
  gw::AttachView(m_view, m_widget);
  EXPECT_FALSE(InArea());  // no parent yet
  SetParent(m_view, m_main);
  EXPECT_TRUE(InArea());
  EXPECT_FALSE(Shown());  // the table's windows start hidden
  ShowWindow(m_view, SW_SHOW);
  EXPECT_TRUE(Shown());
  ShowWindow(m_view, SW_HIDE);
  EXPECT_FALSE(Shown());
  ShowWindow(m_view, SW_SHOW);
  // The library parks a closing tab's view on the desktop: it leaves the area.
  SetParent(m_view, GetDesktopWindow());
  EXPECT_FALSE(InArea());
  EXPECT_FALSE(Shown());
  SetParent(m_view, m_main);
  EXPECT_TRUE(InArea());
  EXPECT_TRUE(Shown());
}

TEST_F(GtkWindows, ChangesMadeBeforeTheWidgetIsAttachedApplyWhenItIs) {
  SetParent(m_view, m_main);
  ShowWindow(m_view, SW_SHOW);
  gw::MoveView(m_view, 10, 20, 100, 50);
  gw::AttachView(m_view, m_widget);
  EXPECT_TRUE(InArea());
  EXPECT_TRUE(Shown());
  EXPECT_TRUE(AllocationIs(10, 20, 100, 50));
}

TEST_F(GtkWindows, AViewFillsItsAreaUntilMovedAndAgainAfterAnEmptyRectangle) {
  gw::AttachView(m_view, m_widget);
  SetParent(m_view, m_main);
  ShowWindow(m_view, SW_SHOW);
  int width = 0, height = 0;
  ASSERT_TRUE(gtktest::WaitOnGtk([&] {
    width = gtk_widget_get_allocated_width(m_area);
    height = gtk_widget_get_allocated_height(m_area);
    return width > 1 && height > 1;
  }));
  EXPECT_TRUE(AllocationIs(0, 0, width, height));
  gw::MoveView(m_view, 5, 6, 70, 80);
  EXPECT_TRUE(AllocationIs(5, 6, 70, 80));
  gw::MoveView(m_view, 0, 0, 0, 0);
  EXPECT_TRUE(AllocationIs(0, 0, width, height));
}

TEST_F(GtkWindows, CallsFromWorkerThreadsEndInTheStateOfTheLastCall) {
  gw::AttachView(m_view, m_widget);
  SetParent(m_view, m_main);
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t)
    workers.emplace_back([this] {
      for (int i = 0; i < 300; ++i) ShowWindow(m_view, i % 2 ? SW_SHOW : SW_HIDE);
    });
  for (auto& w : workers) w.join();
  ShowWindow(m_view, SW_HIDE);
  EXPECT_FALSE(Shown());
  std::thread([this] { ShowWindow(m_view, SW_SHOW); }).join();
  EXPECT_TRUE(Shown());
}

TEST_F(GtkWindows, ADestroyedWindowOrADetachedViewLeavesTheArea) {
  gw::AttachView(m_view, m_widget);
  SetParent(m_view, m_main);
  ShowWindow(m_view, SW_SHOW);
  ASSERT_TRUE(InArea());
  g_object_ref(m_widget);  // keep it to look at after the backend lets it go
  gw::DetachView(m_view);
  bool parentless = false;
  gtktest::RunOnGtk([&] { parentless = gtk_widget_get_parent(m_widget) == nullptr && !gw::ViewWidget(m_view); });
  EXPECT_TRUE(parentless);

  GtkWidget* other = nullptr;
  HWND view2 = platform::CreateWindowHandle();
  gtktest::RunOnGtk([&] { other = gtk_drawing_area_new(); g_object_ref_sink(other); });
  gw::AttachView(view2, other);
  SetParent(view2, m_main);
  platform::DestroyWindowHandle(view2);
  SetParent(m_view, m_main);  // any later table call brings the GTK side up to date
  gw::DetachView(view2);
  gtktest::RunOnGtk([&] {
    EXPECT_EQ(nullptr, gtk_widget_get_parent(other));
    g_object_unref(other);
    g_object_unref(m_widget);
  });
}
