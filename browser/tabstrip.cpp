#include "browser/tabstrip.h"

#include <algorithm>
#include <cmath>

namespace browser {
namespace {

// A press that moves less than this is a click, not a drag.
constexpr double kDragThreshold = 8;

void ShowDefaultIcon(GtkWidget* icon) { gtk_image_set_from_icon_name(GTK_IMAGE(icon), "text-html", GTK_ICON_SIZE_MENU); }

}  // namespace

CTabStrip::CTabStrip() : CWidget(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2)) {
  gtk_style_context_add_class(gtk_widget_get_style_context(Gtk()), "tabstrip");
  // The tabs' places are known once GTK has laid them out: "layout" follows from an idle
  // callback, once per run of layouts, never from inside one.
  g_signal_connect_after(Gtk(), "size-allocate", G_CALLBACK(+[](GtkWidget*, GdkRectangle*, gpointer self) {
                           auto* me = static_cast<CTabStrip*>(self);
                           if (me->m_layoutIdle) return;
                           me->m_layoutIdle = g_idle_add(
                               +[](gpointer self) -> gboolean {
                                 auto* me = static_cast<CTabStrip*>(self);
                                 me->m_layoutIdle = 0;
                                 me->Emit("layout");
                                 return G_SOURCE_REMOVE;
                               },
                               me);
                         }),
                         this);
}

CTabStrip::~CTabStrip() {
  if (m_layoutIdle) g_source_remove(m_layoutIdle);
}

const CTabStrip::Tab* CTabStrip::FindTab(unsigned int id) const {
  Gtk();  // a destroyed strip refuses every call
  auto it = m_tabs.find(id);
  return it == m_tabs.end() ? nullptr : &it->second;
}

unsigned int CTabStrip::IdOfBox(GtkWidget* box) const {
  for (const auto& [id, tab] : m_tabs) {
    if (tab.box == box) return id;
  }
  return 0;
}

bool CTabStrip::AddTab(unsigned int id, int index) {
  if (id == 0 || FindTab(id)) return false;
  Tab tab;
  tab.box = gtk_event_box_new();
  gtk_widget_add_events(tab.box, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
  gtk_style_context_add_class(gtk_widget_get_style_context(tab.box), "tab");
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
  tab.icon = gtk_image_new();
  ShowDefaultIcon(tab.icon);
  tab.spinner = gtk_spinner_new();
  tab.title = gtk_label_new("");
  gtk_label_set_ellipsize(GTK_LABEL(tab.title), PANGO_ELLIPSIZE_END);
  gtk_label_set_width_chars(GTK_LABEL(tab.title), 16);
  gtk_label_set_max_width_chars(GTK_LABEL(tab.title), 16);
  gtk_label_set_xalign(GTK_LABEL(tab.title), 0);
  tab.speaker = gtk_image_new_from_icon_name("audio-volume-high", GTK_ICON_SIZE_MENU);
  GtkWidget* close = gtk_button_new_from_icon_name("window-close", GTK_ICON_SIZE_MENU);
  gtk_button_set_relief(GTK_BUTTON(close), GTK_RELIEF_NONE);
  gtk_widget_set_can_focus(close, FALSE);
  gtk_style_context_add_class(gtk_widget_get_style_context(close), "tabclose");
  g_object_set_data(G_OBJECT(close), "tab-box", tab.box);
  g_signal_connect(close, "clicked", G_CALLBACK(+[](GtkButton* button, gpointer self) {
                     auto* me = static_cast<CTabStrip*>(self);
                     GtkWidget* box = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(button), "tab-box"));
                     if (unsigned int id = me->IdOfBox(box)) me->Emit("close", std::to_string(id));
                   }),
                   this);
  gtk_box_pack_start(GTK_BOX(row), tab.icon, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), tab.spinner, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), tab.title, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(row), tab.speaker, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), close, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(tab.box), row);
  g_signal_connect(tab.box, "button-press-event", G_CALLBACK(&CTabStrip::OnPress), this);
  g_signal_connect(tab.box, "button-release-event", G_CALLBACK(&CTabStrip::OnRelease), this);
  gtk_box_pack_start(GTK_BOX(Gtk()), tab.box, FALSE, FALSE, 0);
  gtk_widget_show_all(tab.box);
  gtk_widget_hide(tab.spinner);
  gtk_widget_hide(tab.speaker);
  m_tabs.emplace(id, tab);
  m_order.push_back(id);
  if (index >= 0 && index < Count() - 1) Move(id, index);
  return true;
}

bool CTabStrip::RemoveTab(unsigned int id) {
  const Tab* tab = FindTab(id);
  if (!tab) return false;
  gtk_widget_destroy(tab->box);
  m_tabs.erase(id);
  m_order.erase(std::find(m_order.begin(), m_order.end(), id));
  if (m_selected == id) m_selected = 0;
  if (m_pressed == id) m_pressed = 0;
  return true;
}

bool CTabStrip::SetTitle(unsigned int id, const std::string& title) {
  const Tab* tab = FindTab(id);
  if (!tab) return false;
  gtk_label_set_text(GTK_LABEL(tab->title), title.c_str());
  gtk_widget_set_tooltip_text(tab->box, title.c_str());
  return true;
}

std::string CTabStrip::TitleOf(unsigned int id) const {
  const Tab* tab = FindTab(id);
  return tab ? gtk_label_get_text(GTK_LABEL(tab->title)) : "";
}

bool CTabStrip::SetIcon(unsigned int id, const std::string& path) {
  const Tab* tab = FindTab(id);
  if (!tab) return false;
  GdkPixbuf* pixbuf = path.empty() ? nullptr : gdk_pixbuf_new_from_file_at_size(path.c_str(), 16, 16, nullptr);
  if (pixbuf) {
    gtk_image_set_from_pixbuf(GTK_IMAGE(tab->icon), pixbuf);
    g_object_unref(pixbuf);
  } else {
    ShowDefaultIcon(tab->icon);
  }
  return true;
}

bool CTabStrip::SetProgress(unsigned int id, int percent) {
  Require(percent >= 0 && percent <= 100, "SetProgress: 0 to 100");
  const Tab* tab = FindTab(id);
  if (!tab) return false;
  const bool loading = percent < 100;
  gtk_widget_set_visible(tab->spinner, loading);
  gtk_widget_set_visible(tab->icon, !loading);
  if (loading) {
    gtk_spinner_start(GTK_SPINNER(tab->spinner));
  } else {
    gtk_spinner_stop(GTK_SPINNER(tab->spinner));
  }
  return true;
}

bool CTabStrip::SetAudio(unsigned int id, bool playing) {
  auto it = m_tabs.find(id);
  if (!FindTab(id)) return false;
  it->second.playing = playing;
  gtk_widget_set_visible(it->second.speaker, playing);
  return true;
}

bool CTabStrip::AudioOf(unsigned int id) const {
  const Tab* tab = FindTab(id);
  return tab && tab->playing;
}

bool CTabStrip::Select(unsigned int id) {
  if (id != 0 && !FindTab(id)) return false;
  for (const auto& [tabId, tab] : m_tabs) {
    GtkStyleContext* style = gtk_widget_get_style_context(tab.box);
    if (tabId == id) {
      gtk_style_context_add_class(style, "selected");
    } else {
      gtk_style_context_remove_class(style, "selected");
    }
  }
  m_selected = id;
  return true;
}

bool CTabStrip::Move(unsigned int id, int index) {
  const Tab* tab = FindTab(id);
  if (!tab) return false;
  index = std::clamp(index, 0, Count() - 1);
  m_order.erase(std::find(m_order.begin(), m_order.end(), id));
  m_order.insert(m_order.begin() + index, id);
  gtk_box_reorder_child(GTK_BOX(Gtk()), tab->box, index);
  return true;
}

std::string CTabStrip::Order() const {
  Gtk();
  std::string out;
  for (unsigned int id : m_order) out += (out.empty() ? "" : " ") + std::to_string(id);
  return out;
}

int CTabStrip::IndexOf(unsigned int id) const {
  Gtk();
  auto it = std::find(m_order.begin(), m_order.end(), id);
  return it == m_order.end() ? -1 : static_cast<int>(it - m_order.begin());
}

std::string CTabStrip::TitleGeometry(unsigned int id) const {
  const Tab* tab = FindTab(id);
  if (!tab || !gtk_widget_get_mapped(tab->title)) return "";
  GtkAllocation a{};
  gtk_widget_get_allocation(tab->title, &a);
  int x = 0, y = 0;
  gtk_widget_translate_coordinates(tab->title, gtk_widget_get_toplevel(tab->title), 0, 0, &x, &y);
  return std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(a.width) + " " + std::to_string(a.height);
}

int CTabStrip::DropIndex(const std::vector<std::pair<int, int>>& tabs, int x) {
  // Past the middle of a tab is after it.
  int index = 0;
  for (const auto& [left, width] : tabs) {
    if (x >= left + width / 2) ++index;
  }
  return index;
}

gboolean CTabStrip::OnPress(GtkWidget* box, GdkEventButton* event, gpointer self) {
  auto* me = static_cast<CTabStrip*>(self);
  const unsigned int id = me->IdOfBox(box);
  if (id == 0 || event->type != GDK_BUTTON_PRESS) return FALSE;
  if (event->button == 2) {
    me->Emit("close", std::to_string(id));
    return TRUE;
  }
  if (event->button == 1) {
    me->m_pressed = id;
    me->m_pressX = event->x_root;
    me->Emit("select", std::to_string(id));
    return TRUE;
  }
  return FALSE;
}

gboolean CTabStrip::OnRelease(GtkWidget*, GdkEventButton* event, gpointer self) {
  auto* me = static_cast<CTabStrip*>(self);
  const unsigned int id = me->m_pressed;
  me->m_pressed = 0;
  if (event->button != 1 || id == 0 || std::fabs(event->x_root - me->m_pressX) < kDragThreshold) return FALSE;
  // Where the pointer is now, in the strip's own coordinates, against the other tabs.
  GtkWidget* strip = me->Gtk();
  int originX = 0, originY = 0;
  gdk_window_get_origin(gtk_widget_get_window(strip), &originX, &originY);
  GtkAllocation stripArea{};
  gtk_widget_get_allocation(strip, &stripArea);
  const int x = static_cast<int>(event->x_root) - originX - stripArea.x;
  std::vector<std::pair<int, int>> others;
  for (unsigned int other : me->m_order) {
    if (other == id) continue;
    GtkAllocation a{};
    gtk_widget_get_allocation(me->m_tabs.at(other).box, &a);
    others.emplace_back(a.x - stripArea.x, a.width);
  }
  const int index = DropIndex(others, x);
  if (index != me->IndexOf(id)) {
    me->Move(id, index);
    me->Emit("reorder", std::to_string(id) + " " + std::to_string(index));
  }
  return TRUE;
}

}  // namespace browser
