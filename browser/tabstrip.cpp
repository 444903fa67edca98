#include "browser/tabstrip.h"

#include <algorithm>
#include <cmath>

namespace browser {
namespace {

// A press that moves less than this is a click, not a drag.
constexpr double kDragThreshold = 8;

void ShowDefaultIcon(GtkWidget* icon) { gtk_image_set_from_icon_name(GTK_IMAGE(icon), "text-html", GTK_ICON_SIZE_MENU); }

}  // namespace

CTabStrip::CTabStrip() : CWidget(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0)) {
  gtk_style_context_add_class(gtk_widget_get_style_context(Gtk()), "tabstrip");
  m_tabsBox = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, kSpacing);
  // No scroll bars, and no width asked for the tabs: the strip takes what the row gives.
  m_scroller = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(m_scroller), GTK_POLICY_EXTERNAL, GTK_POLICY_NEVER);
  gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(m_scroller), FALSE);
  gtk_container_add(GTK_CONTAINER(m_scroller), m_tabsBox);
  if (GtkWidget* viewport = gtk_bin_get_child(GTK_BIN(m_scroller)))
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
  gtk_widget_add_events(m_scroller, GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK);
  g_signal_connect(m_scroller, "scroll-event", G_CALLBACK(&CTabStrip::OnScroll), this);
  auto arrow = [this](const char* icon, int direction) {
    GtkWidget* button = gtk_button_new_from_icon_name(icon, GTK_ICON_SIZE_MENU);
    gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
    gtk_widget_set_can_focus(button, FALSE);
    gtk_style_context_add_class(gtk_widget_get_style_context(button), "tabscroll");
    g_object_set_data(G_OBJECT(button), "direction", GINT_TO_POINTER(direction));
    g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* b, gpointer self) {
                       auto* me = static_cast<CTabStrip*>(self);
                       me->ScrollBy(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(b), "direction")) * me->m_tabWidth);
                     }),
                     this);
    return button;
  };
  m_left = arrow("pan-start-symbolic", -1);
  m_right = arrow("pan-end-symbolic", 1);
  gtk_box_pack_start(GTK_BOX(Gtk()), m_left, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(Gtk()), m_scroller, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(Gtk()), m_right, FALSE, FALSE, 0);
  gtk_widget_show_all(Gtk());
  GtkAdjustment* adjustment = Adjustment();
  for (const char* signal : {"value-changed", "changed"}) {
    g_signal_connect_swapped(adjustment, signal, G_CALLBACK(+[](gpointer self) { static_cast<CTabStrip*>(self)->UpdateArrows(); }),
                             this);
  }
  UpdateArrows();
  // The tabs' places are known once GTK has laid them out.
  g_signal_connect_after(m_scroller, "size-allocate", G_CALLBACK(+[](GtkWidget*, GdkRectangle*, gpointer self) {
                           static_cast<CTabStrip*>(self)->ScheduleLayout();
                         }),
                         this);
}

CTabStrip::~CTabStrip() {
  if (m_layoutIdle) g_source_remove(m_layoutIdle);
  if (Alive()) g_signal_handlers_disconnect_by_data(Adjustment(), this);
}

void CTabStrip::ScheduleLayout() {
  // Once per run of layouts, never from inside one: "layout" and the tabs' width follow
  // from an idle callback.
  if (m_layoutIdle) return;
  m_layoutIdle = g_idle_add(
      +[](gpointer self) -> gboolean {
        auto* me = static_cast<CTabStrip*>(self);
        me->m_layoutIdle = 0;
        me->Relayout();
        me->Emit("layout");
        return G_SOURCE_REMOVE;
      },
      this);
}

GtkAdjustment* CTabStrip::Adjustment() const {
  return gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(m_scroller));
}

int CTabStrip::TabWidth(int available, int count, int spacing) {
  if (count <= 0) return kMaxTabWidth;
  const int share = (available - spacing * (count - 1)) / count;
  return std::clamp(share, kMinTabWidth, kMaxTabWidth);
}

int CTabStrip::Reveal(int offset, int page, int left, int width) {
  if (left < offset || width > page) return left;
  if (left + width > offset + page) return left + width - page;
  return offset;
}

void CTabStrip::Relayout() {
  if (!Alive()) return;
  const int width = TabWidth(gtk_widget_get_allocated_width(m_scroller), Count(), kSpacing);
  if (width != m_tabWidth) {
    // The new width comes with the next layout, which brings the selected tab into view.
    m_tabWidth = width;
    for (auto& [id, tab] : m_tabs) gtk_widget_set_size_request(tab.box, width, -1);
    return;
  }
  const Tab* selected = FindTab(m_selected);
  GtkAllocation a{};
  if (selected) gtk_widget_get_allocation(selected->box, &a);
  // A tab not laid out yet is brought into view after its first layout.
  if (selected && a.width < m_tabWidth) return;
  if (m_reveal && selected) {
    GtkAdjustment* adjustment = Adjustment();
    const int page = static_cast<int>(gtk_adjustment_get_page_size(adjustment));
    gtk_adjustment_set_value(adjustment, Reveal(ScrollOffset(), page, a.x, a.width));
  }
  m_reveal = false;
  UpdateArrows();
}

void CTabStrip::UpdateArrows() {
  if (!Alive()) return;
  GtkAdjustment* adjustment = Adjustment();
  const double value = gtk_adjustment_get_value(adjustment);
  const double end = gtk_adjustment_get_upper(adjustment) - gtk_adjustment_get_page_size(adjustment);
  gtk_widget_set_sensitive(m_left, value > 0.5);
  gtk_widget_set_sensitive(m_right, value < end - 0.5);
}

int CTabStrip::ScrollOffset() const {
  Gtk();
  return static_cast<int>(gtk_adjustment_get_value(Adjustment()) + 0.5);
}

void CTabStrip::ScrollBy(int pixels) {
  Gtk();
  GtkAdjustment* adjustment = Adjustment();
  // The adjustment keeps the value within its ends.
  gtk_adjustment_set_value(adjustment, gtk_adjustment_get_value(adjustment) + pixels);
}

GtkWidget* CTabStrip::TabWidget(unsigned int id) const {
  const Tab* tab = FindTab(id);
  return tab ? tab->box : nullptr;
}

gboolean CTabStrip::OnScroll(GtkWidget*, GdkEventScroll* event, gpointer self) {
  auto* me = static_cast<CTabStrip*>(self);
  double steps = 0;
  switch (event->direction) {
    case GDK_SCROLL_UP:
    case GDK_SCROLL_LEFT: steps = -1; break;
    case GDK_SCROLL_DOWN:
    case GDK_SCROLL_RIGHT: steps = 1; break;
    case GDK_SCROLL_SMOOTH: steps = event->delta_x + event->delta_y; break;
  }
  me->ScrollBy(static_cast<int>(steps * me->m_tabWidth / 2));
  return TRUE;
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
  // The title asks for no width of its own: the tab's width is the strip's to set.
  gtk_label_set_width_chars(GTK_LABEL(tab.title), 1);
  gtk_label_set_max_width_chars(GTK_LABEL(tab.title), 1);
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
  gtk_widget_set_size_request(tab.box, m_tabWidth, -1);
  gtk_box_pack_start(GTK_BOX(m_tabsBox), tab.box, FALSE, FALSE, 0);
  gtk_widget_show_all(tab.box);
  m_reveal = true;
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
  if (m_selected != id) m_reveal = true;
  m_selected = id;
  // A layout follows, and after it the tab is brought into view.
  gtk_widget_queue_resize(m_tabsBox);
  return true;
}

bool CTabStrip::Move(unsigned int id, int index) {
  const Tab* tab = FindTab(id);
  if (!tab) return false;
  index = std::clamp(index, 0, Count() - 1);
  m_order.erase(std::find(m_order.begin(), m_order.end(), id));
  m_order.insert(m_order.begin() + index, id);
  gtk_box_reorder_child(GTK_BOX(m_tabsBox), tab->box, index);
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
  // The tabs' row lies in the scrolled view's window, which moves as the strip scrolls.
  GtkWidget* strip = me->m_tabsBox;
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
