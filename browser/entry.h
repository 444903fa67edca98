#pragma once
// A one-line text entry (the address entry, the find bar's entry) with an optional list
// of completions. Signals: "activate" with the text (Enter), "changed" with the text (the
// user's typing only), "completed" with the chosen completion.
#include <string>

#include "browser/widget.h"

namespace browser {

class CEntry : public CWidget {
 public:
  CEntry();
  ~CEntry() override;
  void SetText(const std::string& text);
  std::string Text() const;
  void SetPlaceholder(const std::string& text);
  void SelectAll();
  // Enter presses the default button of the entry's window (a dialog's) as well.
  void SetActivatesDefault(bool on);
  // The completions offered while typing: one per line, matched anywhere in the text,
  // case-insensitively; at most kMaxCompletions are kept.
  void SetCompletions(const std::string& lines);
  int CompletionCount() const;
  // The completions that match `typed` (first `limit`), one per line: what the popup shows.
  std::string Matches(const std::string& typed, int limit) const;

  static constexpr int kMaxCompletions = 2000;

 private:
  static gboolean MatchFunc(GtkEntryCompletion*, const gchar* key, GtkTreeIter* iter, gpointer self);
  GtkListStore* m_store;
  bool m_settingText = false;
};

}  // namespace browser
