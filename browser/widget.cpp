#include "browser/widget.h"

#include <map>
#include <stdexcept>

namespace browser {
namespace {

SignalSink& Sink() {
  static SignalSink sink;
  return sink;
}
std::map<unsigned int, std::unique_ptr<CWidget>>& Registry() {
  static std::map<unsigned int, std::unique_ptr<CWidget>> registry;
  return registry;
}
unsigned int g_nextId = 1;

}  // namespace

void FocusWhenShown(GtkWidget* window) {
  g_signal_connect(window, "map-event", G_CALLBACK(+[](GtkWidget* widget, GdkEvent*, gpointer) -> gboolean {
                     if (GdkWindow* shown = gtk_widget_get_window(widget)) gdk_window_focus(shown, GDK_CURRENT_TIME);
                     return FALSE;
                   }),
                   nullptr);
}

void FocusWindow(GtkWindow* window) {
  GdkWindow* shown = window ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
  if (shown && gtk_widget_get_mapped(GTK_WIDGET(window))) gdk_window_focus(shown, GDK_CURRENT_TIME);
}

void Require(bool condition, const char* what) {
  if (!condition) throw std::invalid_argument(what);
}

CWidget::CWidget(GtkWidget* widget) : m_widget(widget), m_id(g_nextId++) {
  g_object_ref_sink(m_widget);
  g_signal_connect(m_widget, "destroy", G_CALLBACK(&CWidget::OnDestroyed), this);
}

CWidget::~CWidget() {
  if (!m_widget) return;
  GtkWidget* widget = m_widget;
  g_signal_handlers_disconnect_by_data(widget, this);
  m_widget = nullptr;
  gtk_widget_destroy(widget);
  g_object_unref(widget);
}

void CWidget::OnDestroyed(GtkWidget* widget, gpointer self) {
  auto* me = static_cast<CWidget*>(self);
  if (me->m_widget != widget) return;
  g_signal_handlers_disconnect_by_data(widget, me);
  me->m_widget = nullptr;
  g_object_unref(widget);
}

GtkWidget* CWidget::Gtk() const {
  if (!m_widget) throw std::logic_error("the widget was destroyed");
  return m_widget;
}

void CWidget::Show() { gtk_widget_show_all(Gtk()); }
void CWidget::Hide() { gtk_widget_hide(Gtk()); }
bool CWidget::Visible() const { return gtk_widget_get_visible(Gtk()); }
void CWidget::SetSensitive(bool on) { gtk_widget_set_sensitive(Gtk(), on); }
void CWidget::SetTooltip(const std::string& text) { gtk_widget_set_tooltip_text(Gtk(), text.c_str()); }
void CWidget::SetSize(int width, int height) {
  Require(width >= -1 && height >= -1 && width <= 10000 && height <= 10000, "SetSize: sizes are -1 to 10000");
  gtk_widget_set_size_request(Gtk(), width, height);
}
void CWidget::GrabFocus() {
  GtkWidget* widget = Gtk();
  if (gtk_widget_get_can_focus(widget) || !GTK_IS_CONTAINER(widget)) {
    gtk_widget_grab_focus(widget);
    return;
  }
  // Focus already inside stays where it is.
  if (!HasFocus()) gtk_widget_child_focus(widget, GTK_DIR_TAB_FORWARD);
}

bool CWidget::HasFocus() const {
  GtkWidget* widget = Gtk();
  if (gtk_widget_has_focus(widget)) return true;
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  if (!GTK_IS_WINDOW(top) || !gtk_window_has_toplevel_focus(GTK_WINDOW(top))) return false;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(top));
  return focus && gtk_widget_is_ancestor(focus, widget);
}
void CWidget::AddStyle(const std::string& name) {
  gtk_style_context_add_class(gtk_widget_get_style_context(Gtk()), name.c_str());
}
void CWidget::RemoveStyle(const std::string& name) {
  gtk_style_context_remove_class(gtk_widget_get_style_context(Gtk()), name.c_str());
}

std::string CWidget::Geometry() const {
  GtkWidget* widget = Gtk();
  int x = 0, y = 0;
  GtkAllocation a{};
  if (gtk_widget_get_mapped(widget)) {
    gtk_widget_get_allocation(widget, &a);
    gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), 0, 0, &x, &y);
  }
  return std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(a.width) + " " + std::to_string(a.height);
}

void CWidget::Destroy() {
  if (m_widget) gtk_widget_destroy(m_widget);
}

bool CWidget::Emit(const std::string& signal, const std::string& arg) const {
  // A copy: the script may replace the sink while it runs.
  SignalSink sink = Sink();
  return sink ? sink(m_id, signal, arg) : false;
}

void CWidget::EmitFocusChanges() {
  g_signal_connect(Gtk(), "focus-in-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                     static_cast<CWidget*>(self)->Emit("focus", "in");
                     return FALSE;
                   }),
                   this);
  g_signal_connect(Gtk(), "focus-out-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                     static_cast<CWidget*>(self)->Emit("focus", "out");
                     return FALSE;
                   }),
                   this);
}

void CWidget::SetSignalSink(SignalSink sink) { Sink() = std::move(sink); }

void CWidget::Register(std::unique_ptr<CWidget> widget) {
  const unsigned int id = widget->Id();
  Registry()[id] = std::move(widget);
}

CWidget* CWidget::Find(unsigned int id) {
  auto it = Registry().find(id);
  return it == Registry().end() ? nullptr : it->second.get();
}

void CWidget::ReleaseAll() {
  // Children first: the newest widgets are usually inside older ones.
  auto& registry = Registry();
  while (!registry.empty()) registry.erase(std::prev(registry.end()));
}

}  // namespace browser
