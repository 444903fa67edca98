#pragma once
// Pop-up menus and dialogs of the chrome.
#include <string>

#include "browser/basicwidgets.h"

namespace browser {

// A pop-up menu. Signals: "activate" with the action name of the chosen item, "shown"
// and "hidden" as it opens and closes.
class CMenu : public CWidget {
 public:
  CMenu();
  void Add(const std::string& label, const std::string& action);
  // An item that shows its shortcut, a key name as the window's "key" signal gives it
  // ("ctrl+shift+t", "F5"); an unknown key name is an error.
  void AddWithKey(const std::string& label, const std::string& action, const std::string& key);
  void AddSeparator();
  void Clear();
  int Count() const;
  // Shows the menu below `anchor`.
  void PopupBelow(CWidget* anchor);
  // Chooses the item of `action` as the user would; false when there is none.
  bool Activate(const std::string& action);
  // The shortcut an item of `action` shows, as GTK writes it ("" when none).
  std::string KeyOf(const std::string& action) const;

  // A key name ("ctrl+shift+Tab") as a key and modifiers; false for an unknown key.
  static bool ParseKey(const std::string& name, guint* key, GdkModifierType* modifiers);

 private:
  GtkWidget* Item(const std::string& action) const;
};

// A dialog of the main window with content and buttons. Signals: "response" with the name
// of the button pressed, "close" when the dialog was closed otherwise, "focus" with "in"
// or "out".
class CDialog : public CWidget {
 public:
  CDialog(const std::string& title, CWindow* parent);
  void SetContent(CWidget* content);
  // `name` is what "response" gives; the first default button answers Enter.
  void AddButton(const std::string& label, const std::string& name, bool isDefault);
  void Close() { Hide(); }
  // Answers as the user's press of button `name` does; false when there is none.
  bool Respond(const std::string& name);

 private:
  GtkWidget* Area() const;
  std::string ResponseName(int response) const;
  int m_buttons = 0;
  GtkWidget* m_content = nullptr;  // owned by the dialog once packed
};

}  // namespace browser
