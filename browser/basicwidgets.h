#pragma once
// The plain widget classes of the chrome: window, box, button, label, image, progress bar.
#include <string>

#include "browser/widget.h"

namespace browser {

// A top-level window. Signals: "key" with the key's name ("ctrl+t", "ctrl+shift+Tab",
// "alt+Left", "F5", "Escape"; the handler's true stops it there), "close" when the user
// closes the window (the script decides what happens), "focus" with "in" or "out" when
// the window gets or loses the keyboard, "focus-moved" when another widget in it got the
// keyboard.
class CWindow : public CWidget {
 public:
  explicit CWindow(const std::string& title);
  void SetTitle(const std::string& title);
  std::string Title() const;
  void SetChild(CWidget* child);
  void SetDefaultSize(int width, int height);
  // Shows the window and gives it the keyboard.
  void Present();
  // The window's size now, "width height".
  std::string Size() const;
  // The usable part of the screen the window is on (without panels), "width height".
  std::string WorkArea() const;

  // The name of a key press as the "key" signal gives it (also for tests).
  static std::string KeyName(guint keyval, GdkModifierType state);

 private:
  static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
};

// A row or column of widgets.
class CBox : public CWidget {
 public:
  CBox(bool vertical, int spacing);
  // Packs `child` at the end; `expand` gives it the free space.
  void Add(CWidget* child, bool expand);
  void AddStart(CWidget* child, bool expand);
  void Remove(CWidget* child);
};

// Signals: "clicked", "context" (a press of the right button: the script may show a
// menu for it).
class CButton : public CWidget {
 public:
  explicit CButton(const std::string& label);
  void SetLabel(const std::string& label);
  std::string Label() const;
  // A themed icon beside (or, with an empty label, instead of) the text.
  void SetIcon(const std::string& iconName);
  // A click from the script, as the user's.
  void Click();
};

class CLabel : public CWidget {
 public:
  explicit CLabel(const std::string& text);
  void SetText(const std::string& text);
  std::string Text() const;
  // 0 left, 0.5 centre, 1 right.
  void SetAlign(double x);
};

class CImage : public CWidget {
 public:
  CImage();
  // A themed icon by name (e.g. "go-previous"), of menu size.
  void SetIcon(const std::string& iconName);
  // An image file scaled to `size` pixels square; false (and the image cleared) when it
  // cannot be read.
  bool SetFile(const std::string& path, int size);
  void Clear();
};

class CProgressBar : public CWidget {
 public:
  CProgressBar();
  // 0 to 100.
  void SetPercent(double percent);
  double Percent() const;
};

}  // namespace browser

namespace browser {

// A widget the host made (the page area): the chrome places it like any other.
class CHostWidget : public CWidget {
 public:
  explicit CHostWidget(GtkWidget* widget) : CWidget(widget) {}
  // Lays `child` over the whole area (the page area is an overlay): a notice in place of
  // a page. An error when the area holds no overlays or the child has a place already.
  void AddOverlay(CWidget* child);
};

}  // namespace browser
