#include "browser/entry.h"

#include <glib.h>

namespace browser {
namespace {

// Case-insensitive "contains" on UTF-8 texts.
bool Contains(const std::string& text, const std::string& part) {
  gchar* a = g_utf8_casefold(text.c_str(), -1);
  gchar* b = g_utf8_casefold(part.c_str(), -1);
  const bool found = std::string(a).find(b) != std::string::npos;
  g_free(a);
  g_free(b);
  return found;
}

}  // namespace

CEntry::CEntry() : CWidget(gtk_entry_new()), m_store(gtk_list_store_new(1, G_TYPE_STRING)) {
  GtkEntryCompletion* completion = gtk_entry_completion_new();
  gtk_entry_completion_set_model(completion, GTK_TREE_MODEL(m_store));
  gtk_entry_completion_set_text_column(completion, 0);
  gtk_entry_completion_set_minimum_key_length(completion, 1);
  gtk_entry_completion_set_match_func(completion, &CEntry::MatchFunc, this, nullptr);
  g_signal_connect(completion, "match-selected", G_CALLBACK(+[](GtkEntryCompletion*, GtkTreeModel* model,
                                                                 GtkTreeIter* iter, gpointer self) -> gboolean {
                     gchar* value = nullptr;
                     gtk_tree_model_get(model, iter, 0, &value, -1);
                     const std::string text = value ? value : "";
                     g_free(value);
                     auto* me = static_cast<CEntry*>(self);
                     me->SetText(text);
                     me->Emit("completed", text);
                     return TRUE;
                   }),
                   this);
  gtk_entry_set_completion(GTK_ENTRY(Gtk()), completion);
  g_object_unref(completion);
  g_signal_connect(Gtk(), "activate", G_CALLBACK(+[](GtkEntry*, gpointer self) {
                     auto* me = static_cast<CEntry*>(self);
                     me->Emit("activate", me->Text());
                   }),
                   this);
  g_signal_connect(Gtk(), "changed", G_CALLBACK(+[](GtkEditable*, gpointer self) {
                     auto* me = static_cast<CEntry*>(self);
                     if (!me->m_settingText) me->Emit("changed", me->Text());
                   }),
                   this);
}

CEntry::~CEntry() { g_object_unref(m_store); }

gboolean CEntry::MatchFunc(GtkEntryCompletion*, const gchar* key, GtkTreeIter* iter, gpointer self) {
  auto* me = static_cast<CEntry*>(self);
  gchar* value = nullptr;
  gtk_tree_model_get(GTK_TREE_MODEL(me->m_store), iter, 0, &value, -1);
  const bool match = value && key && Contains(value, key);
  g_free(value);
  return match;
}

void CEntry::SetText(const std::string& text) {
  m_settingText = true;
  gtk_entry_set_text(GTK_ENTRY(Gtk()), text.c_str());
  m_settingText = false;
}

std::string CEntry::Text() const { return gtk_entry_get_text(GTK_ENTRY(Gtk())); }
void CEntry::SetPlaceholder(const std::string& text) {
  gtk_entry_set_placeholder_text(GTK_ENTRY(Gtk()), text.c_str());
}
void CEntry::SelectAll() {
  gtk_widget_grab_focus(Gtk());
  gtk_editable_select_region(GTK_EDITABLE(Gtk()), 0, -1);
}

void CEntry::SetActivatesDefault(bool on) { gtk_entry_set_activates_default(GTK_ENTRY(Gtk()), on); }

void CEntry::SetCompletions(const std::string& lines) {
  Gtk();  // a destroyed entry refuses
  gtk_list_store_clear(m_store);
  size_t start = 0;
  int count = 0;
  while (start < lines.size() && count < kMaxCompletions) {
    size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    const std::string line = lines.substr(start, end - start);
    start = end + 1;
    if (line.empty() || !g_utf8_validate(line.c_str(), static_cast<gssize>(line.size()), nullptr)) continue;
    GtkTreeIter iter;
    gtk_list_store_append(m_store, &iter);
    gtk_list_store_set(m_store, &iter, 0, line.c_str(), -1);
    ++count;
  }
}

int CEntry::CompletionCount() const {
  return gtk_tree_model_iter_n_children(GTK_TREE_MODEL(m_store), nullptr);
}

std::string CEntry::Matches(const std::string& typed, int limit) const {
  std::string out;
  GtkTreeIter iter;
  int found = 0;
  for (gboolean ok = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(m_store), &iter); ok && found < limit;
       ok = gtk_tree_model_iter_next(GTK_TREE_MODEL(m_store), &iter)) {
    if (MatchFunc(nullptr, typed.c_str(), &iter, const_cast<CEntry*>(this))) {
      gchar* value = nullptr;
      gtk_tree_model_get(GTK_TREE_MODEL(m_store), &iter, 0, &value, -1);
      out += std::string(value ? value : "") + "\n";
      g_free(value);
      ++found;
    }
  }
  return out;
}

}  // namespace browser
