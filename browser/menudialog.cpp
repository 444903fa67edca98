#include "browser/menudialog.h"

namespace browser {
namespace {

const char* const kAction = "uicontrol-action";

void FreeText(gpointer text) { g_free(text); }

}  // namespace

CMenu::CMenu() : CWidget(gtk_menu_new()) {
  g_signal_connect(Gtk(), "map", G_CALLBACK(+[](GtkWidget*, gpointer self) { static_cast<CMenu*>(self)->Emit("shown"); }),
                   this);
  g_signal_connect(Gtk(), "unmap",
                   G_CALLBACK(+[](GtkWidget*, gpointer self) { static_cast<CMenu*>(self)->Emit("hidden"); }), this);
}

void CMenu::Add(const std::string& label, const std::string& action) {
  GtkWidget* item = gtk_menu_item_new_with_label(label.c_str());
  g_object_set_data_full(G_OBJECT(item), kAction, g_strdup(action.c_str()), &FreeText);
  g_signal_connect(item, "activate", G_CALLBACK(+[](GtkMenuItem* item, gpointer self) {
                     const char* action = static_cast<const char*>(g_object_get_data(G_OBJECT(item), kAction));
                     static_cast<CMenu*>(self)->Emit("activate", action ? action : "");
                   }),
                   this);
  gtk_widget_show(item);
  gtk_menu_shell_append(GTK_MENU_SHELL(Gtk()), item);
}

bool CMenu::ParseKey(const std::string& name, guint* key, GdkModifierType* modifiers) {
  unsigned int mods = 0;
  size_t start = 0;
  for (size_t plus = name.find('+'); plus != std::string::npos; plus = name.find('+', start)) {
    const std::string part = name.substr(start, plus - start);
    if (part == "ctrl") {
      mods |= GDK_CONTROL_MASK;
    } else if (part == "alt") {
      mods |= GDK_MOD1_MASK;
    } else if (part == "shift") {
      mods |= GDK_SHIFT_MASK;
    } else {
      return false;
    }
    start = plus + 1;
  }
  const guint keyval = gdk_keyval_from_name(name.substr(start).c_str());
  if (keyval == GDK_KEY_VoidSymbol || keyval == 0) return false;
  *key = keyval;
  *modifiers = static_cast<GdkModifierType>(mods);
  return true;
}

void CMenu::AddWithKey(const std::string& label, const std::string& action, const std::string& key) {
  guint keyval = 0;
  GdkModifierType modifiers{};
  Require(ParseKey(key, &keyval, &modifiers), "AddWithKey: not a key name");
  Add(label, action);
  GList* children = gtk_container_get_children(GTK_CONTAINER(Gtk()));
  GtkWidget* item = GTK_WIDGET(g_list_last(children)->data);
  g_list_free(children);
  if (GtkWidget* text = gtk_bin_get_child(GTK_BIN(item)); GTK_IS_ACCEL_LABEL(text))
    gtk_accel_label_set_accel(GTK_ACCEL_LABEL(text), keyval, modifiers);
}

GtkWidget* CMenu::Item(const std::string& action) const {
  GList* children = gtk_container_get_children(GTK_CONTAINER(Gtk()));
  GtkWidget* found = nullptr;
  for (GList* it = children; it && !found; it = it->next) {
    const char* itemAction = static_cast<const char*>(g_object_get_data(G_OBJECT(it->data), kAction));
    if (itemAction && action == itemAction) found = GTK_WIDGET(it->data);
  }
  g_list_free(children);
  return found;
}

std::string CMenu::KeyOf(const std::string& action) const {
  GtkWidget* item = Item(action);
  GtkWidget* text = item ? gtk_bin_get_child(GTK_BIN(item)) : nullptr;
  if (!text || !GTK_IS_ACCEL_LABEL(text)) return "";
  guint keyval = 0;
  GdkModifierType modifiers{};
  gtk_accel_label_get_accel(GTK_ACCEL_LABEL(text), &keyval, &modifiers);
  if (keyval == 0) return "";
  gchar* shown = gtk_accelerator_get_label(keyval, modifiers);
  std::string out = shown ? shown : "";
  g_free(shown);
  return out;
}

void CMenu::AddSeparator() {
  GtkWidget* item = gtk_separator_menu_item_new();
  gtk_widget_show(item);
  gtk_menu_shell_append(GTK_MENU_SHELL(Gtk()), item);
}

void CMenu::Clear() {
  GList* children = gtk_container_get_children(GTK_CONTAINER(Gtk()));
  for (GList* it = children; it; it = it->next) gtk_widget_destroy(GTK_WIDGET(it->data));
  g_list_free(children);
}

int CMenu::Count() const {
  GList* children = gtk_container_get_children(GTK_CONTAINER(Gtk()));
  const int count = static_cast<int>(g_list_length(children));
  g_list_free(children);
  return count;
}

void CMenu::PopupBelow(CWidget* anchor) {
  Require(anchor != nullptr && gtk_widget_get_mapped(anchor->Gtk()), "PopupBelow: the anchor is not shown");
  gtk_menu_popup_at_widget(GTK_MENU(Gtk()), anchor->Gtk(), GDK_GRAVITY_SOUTH_WEST, GDK_GRAVITY_NORTH_WEST, nullptr);
}

bool CMenu::Activate(const std::string& action) {
  GtkWidget* found = Item(action);
  if (found) gtk_menu_item_activate(GTK_MENU_ITEM(found));
  return found != nullptr;
}

CDialog::CDialog(const std::string& title, CWindow* parent) : CWidget(gtk_dialog_new()) {
  gtk_window_set_title(GTK_WINDOW(Gtk()), title.c_str());
  if (parent) gtk_window_set_transient_for(GTK_WINDOW(Gtk()), GTK_WINDOW(parent->Gtk()));
  gtk_window_set_destroy_with_parent(GTK_WINDOW(Gtk()), TRUE);
  FocusWhenShown(Gtk());
  EmitFocusChanges();
  g_signal_connect(Gtk(), "response", G_CALLBACK(+[](GtkDialog*, int response, gpointer self) {
                     auto* me = static_cast<CDialog*>(self);
                     me->Emit(response >= 0 ? "response" : "close", me->ResponseName(response));
                     me->Hide();
                     FocusWindow(gtk_window_get_transient_for(GTK_WINDOW(me->Gtk())));
                   }),
                   this);
  // Closing hides: the script may show the same dialog again.
  g_signal_connect(Gtk(), "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
}

GtkWidget* CDialog::Area() const { return gtk_dialog_get_content_area(GTK_DIALOG(Gtk())); }

void CDialog::SetContent(CWidget* content) {
  Require(content != nullptr && gtk_widget_get_parent(content->Gtk()) == nullptr,
          "SetContent: not a widget the dialog can hold");
  // Only the last content goes: the area also holds the dialog's own button row.
  if (m_content && gtk_widget_get_parent(m_content) == Area()) gtk_container_remove(GTK_CONTAINER(Area()), m_content);
  m_content = content->Gtk();
  gtk_box_pack_start(GTK_BOX(Area()), m_content, TRUE, TRUE, 6);
}

void CDialog::AddButton(const std::string& label, const std::string& name, bool isDefault) {
  Require(m_buttons < 16, "AddButton: at most 16 buttons");
  GtkWidget* button = gtk_dialog_add_button(GTK_DIALOG(Gtk()), label.c_str(), m_buttons);
  g_object_set_data_full(G_OBJECT(button), kAction, g_strdup(name.c_str()), &FreeText);
  if (isDefault) gtk_dialog_set_default_response(GTK_DIALOG(Gtk()), m_buttons);
  ++m_buttons;
}

std::string CDialog::ResponseName(int response) const {
  if (response < 0) return "";
  GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(Gtk()), response);
  const char* name = button ? static_cast<const char*>(g_object_get_data(G_OBJECT(button), kAction)) : nullptr;
  return name ? name : "";
}

bool CDialog::Respond(const std::string& name) {
  for (int i = 0; i < m_buttons; ++i) {
    if (ResponseName(i) == name) {
      gtk_dialog_response(GTK_DIALOG(Gtk()), i);
      return true;
    }
  }
  return false;
}

}  // namespace browser
