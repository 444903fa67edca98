#include "browser/basicwidgets.h"

#include <cmath>

namespace browser {

CWindow::CWindow(const std::string& title) : CWidget(gtk_window_new(GTK_WINDOW_TOPLEVEL)) {
  gtk_window_set_title(GTK_WINDOW(Gtk()), title.c_str());
  g_signal_connect(Gtk(), "key-press-event", G_CALLBACK(&CWindow::OnKey), this);
  g_signal_connect(Gtk(), "delete-event", G_CALLBACK(&CWindow::OnDelete), this);
  EmitFocusChanges();
  FocusWhenShown(Gtk());
  // Which widget has the keyboard changed (an entry, the page): the chrome shows it.
  g_signal_connect_after(Gtk(), "set-focus", G_CALLBACK(+[](GtkWindow*, GtkWidget*, gpointer self) {
                           static_cast<CWindow*>(self)->Emit("focus-moved");
                         }),
                         this);
}

void CWindow::SetTitle(const std::string& title) { gtk_window_set_title(GTK_WINDOW(Gtk()), title.c_str()); }
std::string CWindow::Title() const {
  const char* title = gtk_window_get_title(GTK_WINDOW(Gtk()));
  return title ? title : "";
}

void CWindow::SetChild(CWidget* child) {
  Require(child != nullptr, "SetChild: no widget");
  GtkWidget* old = gtk_bin_get_child(GTK_BIN(Gtk()));
  if (old) gtk_container_remove(GTK_CONTAINER(Gtk()), old);
  gtk_container_add(GTK_CONTAINER(Gtk()), child->Gtk());
}

void CWindow::SetDefaultSize(int width, int height) {
  Require(width > 0 && height > 0 && width <= 10000 && height <= 10000, "SetDefaultSize: sizes are 1 to 10000");
  gtk_window_set_default_size(GTK_WINDOW(Gtk()), width, height);
}

void CWindow::Present() {
  gtk_widget_show_all(Gtk());
  gtk_window_present(GTK_WINDOW(Gtk()));
}

std::string CWindow::KeyName(guint keyval, GdkModifierType state) {
  // Shift+Tab arrives as its own key; the chrome names it as Tab with shift.
  if (keyval == GDK_KEY_ISO_Left_Tab) keyval = GDK_KEY_Tab;
  if (keyval == GDK_KEY_KP_Add) keyval = GDK_KEY_plus;
  if (keyval == GDK_KEY_KP_Subtract) keyval = GDK_KEY_minus;
  if (keyval == GDK_KEY_KP_0) keyval = GDK_KEY_0;
  const guint lower = gdk_keyval_to_lower(keyval);
  const char* name = gdk_keyval_name(lower);
  std::string text;
  if (state & GDK_CONTROL_MASK) text += "ctrl+";
  if (state & GDK_MOD1_MASK) text += "alt+";
  // Shift counts only where it does not make the character itself ("+" is shift+=).
  const bool printable = gdk_keyval_to_unicode(keyval) > 32;
  if ((state & GDK_SHIFT_MASK) && (!printable || lower != keyval)) text += "shift+";
  return text + (name ? name : "unknown");
}

std::string CWindow::Size() const {
  int width = 0, height = 0;
  gtk_window_get_size(GTK_WINDOW(Gtk()), &width, &height);
  return std::to_string(width) + " " + std::to_string(height);
}

std::string CWindow::WorkArea() const {
  GdkDisplay* display = gtk_widget_get_display(Gtk());
  GdkWindow* shown = gtk_widget_get_window(Gtk());
  GdkMonitor* monitor = shown ? gdk_display_get_monitor_at_window(display, shown) : gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  GdkRectangle area{0, 0, 0, 0};
  if (monitor) gdk_monitor_get_workarea(monitor, &area);
  return std::to_string(area.width) + " " + std::to_string(area.height);
}

gboolean CWindow::OnKey(GtkWidget*, GdkEventKey* event, gpointer self) {
  const std::string name = KeyName(event->keyval, static_cast<GdkModifierType>(event->state));
  return static_cast<CWindow*>(self)->Emit("key", name) ? TRUE : FALSE;
}

gboolean CWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<CWindow*>(self)->Emit("close");
  return TRUE;  // the script closes the window (or not)
}

CBox::CBox(bool vertical, int spacing)
    : CWidget(gtk_box_new(vertical ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL, spacing < 0 ? 0 : spacing)) {}

void CBox::Add(CWidget* child, bool expand) {
  Require(child != nullptr && child != this, "Add: not a widget this box can hold");
  Require(gtk_widget_get_parent(child->Gtk()) == nullptr, "Add: the widget is in a container already");
  gtk_box_pack_start(GTK_BOX(Gtk()), child->Gtk(), expand, expand, 0);
}

void CBox::AddStart(CWidget* child, bool expand) {
  Add(child, expand);
  gtk_box_reorder_child(GTK_BOX(Gtk()), child->Gtk(), 0);
}

void CBox::Remove(CWidget* child) {
  Require(child != nullptr && gtk_widget_get_parent(child->Gtk()) == Gtk(), "Remove: the widget is not in this box");
  gtk_container_remove(GTK_CONTAINER(Gtk()), child->Gtk());
}

CButton::CButton(const std::string& label) : CWidget(gtk_button_new_with_label(label.c_str())) {
  gtk_widget_set_can_focus(Gtk(), FALSE);  // the keyboard stays with the page and the entries
  g_signal_connect(Gtk(), "clicked", G_CALLBACK(+[](GtkButton*, gpointer self) {
                     static_cast<CButton*>(self)->Emit("clicked");
                   }),
                   this);
  g_signal_connect(Gtk(), "button-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventButton* event, gpointer self) -> gboolean {
                     if (event->type != GDK_BUTTON_PRESS || event->button != 3) return FALSE;
                     return static_cast<CButton*>(self)->Emit("context") ? TRUE : FALSE;
                   }),
                   this);
}

void CButton::SetLabel(const std::string& label) { gtk_button_set_label(GTK_BUTTON(Gtk()), label.c_str()); }
std::string CButton::Label() const {
  const char* label = gtk_button_get_label(GTK_BUTTON(Gtk()));
  return label ? label : "";
}
void CButton::SetIcon(const std::string& iconName) {
  gtk_button_set_image(GTK_BUTTON(Gtk()), gtk_image_new_from_icon_name(iconName.c_str(), GTK_ICON_SIZE_BUTTON));
  gtk_button_set_always_show_image(GTK_BUTTON(Gtk()), TRUE);
}
void CButton::Click() { gtk_button_clicked(GTK_BUTTON(Gtk())); }

CLabel::CLabel(const std::string& text) : CWidget(gtk_label_new(text.c_str())) {
  gtk_label_set_ellipsize(GTK_LABEL(Gtk()), PANGO_ELLIPSIZE_END);
}
void CLabel::SetText(const std::string& text) { gtk_label_set_text(GTK_LABEL(Gtk()), text.c_str()); }
std::string CLabel::Text() const { return gtk_label_get_text(GTK_LABEL(Gtk())); }
void CLabel::SetAlign(double x) {
  Require(x >= 0 && x <= 1, "SetAlign: 0 to 1");
  gtk_label_set_xalign(GTK_LABEL(Gtk()), static_cast<float>(x));
}

CImage::CImage() : CWidget(gtk_image_new()) {}
void CImage::SetIcon(const std::string& iconName) {
  gtk_image_set_from_icon_name(GTK_IMAGE(Gtk()), iconName.c_str(), GTK_ICON_SIZE_MENU);
}
bool CImage::SetFile(const std::string& path, int size) {
  Require(size > 0 && size <= 512, "SetFile: the size is 1 to 512 pixels");
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_size(path.c_str(), size, size, nullptr);
  if (!pixbuf) {
    Clear();
    return false;
  }
  gtk_image_set_from_pixbuf(GTK_IMAGE(Gtk()), pixbuf);
  g_object_unref(pixbuf);
  return true;
}
void CImage::Clear() { gtk_image_clear(GTK_IMAGE(Gtk())); }

CProgressBar::CProgressBar() : CWidget(gtk_progress_bar_new()) {}
void CProgressBar::SetPercent(double percent) {
  Require(std::isfinite(percent) && percent >= 0 && percent <= 100, "SetPercent: 0 to 100");
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(Gtk()), percent / 100.0);
}
double CProgressBar::Percent() const { return gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(Gtk())) * 100.0; }

void CHostWidget::AddOverlay(CWidget* child) {
  Require(GTK_IS_OVERLAY(Gtk()), "AddOverlay: this widget holds no overlays");
  Require(child != nullptr && child != this && gtk_widget_get_parent(child->Gtk()) == nullptr,
          "AddOverlay: not a widget this area can hold");
  gtk_overlay_add_overlay(GTK_OVERLAY(Gtk()), child->Gtk());
}

}  // namespace browser
