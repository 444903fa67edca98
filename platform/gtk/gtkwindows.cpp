#include "platform/gtk/gtkwindows.h"

#include <map>

#include "platform/gtk/gtkthread.h"
#include "platform/window.h"

namespace platform::gtk {
namespace {

struct View {
  GtkWidget* widget = nullptr;  // one reference held
  HWND area = nullptr;          // the page area it sits in
  bool placed = false;          // has a rectangle of its own
  GdkRectangle rect{};
};

// Touched on the GTK thread only: every change comes through PostToGtkThread.
struct Windows {
  std::map<HWND, View> views;
  std::map<HWND, GtkWidget*> areas;  // main window -> its overlay (not owned)
};

Windows& State() {
  static Windows* windows = new Windows;
  return *windows;
}

// The overlay asks where each child goes: placed views at their rectangle, the rest fill.
gboolean PlaceChild(GtkOverlay* overlay, GtkWidget* child, GdkRectangle* out, gpointer) {
  GtkAllocation area;
  gtk_widget_get_allocation(GTK_WIDGET(overlay), &area);
  *out = GdkRectangle{0, 0, area.width, area.height};
  for (auto& [hwnd, view] : State().views) {
    if (view.widget != child || !view.placed) continue;
    *out = view.rect;
    break;
  }
  return TRUE;
}

void RemoveFromArea(View& view) {
  if (!view.widget) return;
  GtkWidget* container = gtk_widget_get_parent(view.widget);
  if (container) gtk_container_remove(GTK_CONTAINER(container), view.widget);
  view.area = nullptr;
}

// Brings the widget of `hwnd` in line with the table: parent and visibility.
void Sync(HWND hwnd) {
  Windows& w = State();
  auto it = w.views.find(hwnd);
  if (it == w.views.end() || !it->second.widget) return;
  View& view = it->second;
  HWND parent = ::IsWindow(hwnd) ? GetParentWindow(hwnd) : nullptr;
  auto area = w.areas.find(parent);
  HWND wanted = area == w.areas.end() ? nullptr : parent;
  if (wanted != view.area) {
    RemoveFromArea(view);
    if (wanted) {
      gtk_overlay_add_overlay(GTK_OVERLAY(area->second), view.widget);
      view.area = wanted;
    }
  }
  gtk_widget_set_visible(view.widget, view.area && IsWindowVisible(hwnd));
}

void AreaDestroyed(GtkWidget* overlay, gpointer) {
  Windows& w = State();
  for (auto it = w.areas.begin(); it != w.areas.end();) {
    if (it->second == overlay) {
      for (auto& [hwnd, view] : w.views)
        if (view.area == it->first) view.area = nullptr;  // the overlay let its children go
      it = w.areas.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace

void InstallWindowBackend() {
  WindowBackend backend;
  backend.onShow = [](HWND hwnd, bool) { PostToGtkThread([hwnd] { Sync(hwnd); }); };
  backend.onParent = [](HWND hwnd, HWND) { PostToGtkThread([hwnd] { Sync(hwnd); }); };
  SetWindowBackend(std::move(backend));
}

GtkWidget* CreatePageArea(HWND mainWnd) {
  GtkWidget* overlay = gtk_overlay_new();
  // The overlay's own child gives the page area its background and lets it shrink freely.
  GtkWidget* background = gtk_drawing_area_new();
  gtk_widget_show(background);
  gtk_container_add(GTK_CONTAINER(overlay), background);
  g_signal_connect(overlay, "get-child-position", G_CALLBACK(PlaceChild), nullptr);
  g_signal_connect(overlay, "destroy", G_CALLBACK(AreaDestroyed), nullptr);
  State().areas[mainWnd] = overlay;
  // Views already parented to this window move in.
  for (auto& [hwnd, view] : State().views) Sync(hwnd);
  return overlay;
}

void AttachView(HWND view, GtkWidget* widget) {
  if (!view || !widget) return;
  g_object_ref_sink(widget);
  PostToGtkThread([view, widget] {
    View& v = State().views[view];
    if (v.widget && v.widget != widget) {
      RemoveFromArea(v);
      g_object_unref(v.widget);
    } else if (v.widget == widget) {
      g_object_unref(widget);  // attached twice: keep one reference
    }
    v.widget = widget;
    Sync(view);
  });
}

void DetachView(HWND view) {
  PostToGtkThread([view] {
    auto it = State().views.find(view);
    if (it == State().views.end()) return;
    RemoveFromArea(it->second);
    if (it->second.widget) g_object_unref(it->second.widget);
    State().views.erase(it);
  });
}

void MoveView(HWND view, int x, int y, int width, int height) {
  PostToGtkThread([=] {
    if (!::IsWindow(view)) return;
    View& v = State().views[view];  // kept for a widget attached later
    v.placed = width > 0 && height > 0;
    v.rect = GdkRectangle{x, y, width, height};
    if (v.widget && v.area) gtk_widget_queue_resize(gtk_widget_get_parent(v.widget));
  });
}

GtkWidget* ViewWidget(HWND view) {
  auto it = State().views.find(view);
  return it == State().views.end() ? nullptr : it->second.widget;
}

HWND ViewArea(HWND view) {
  auto it = State().views.find(view);
  return it == State().views.end() ? nullptr : it->second.area;
}

}  // namespace platform::gtk
